#include "vfs/listing_reply.h"

#include <utf8.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "vfs/http_client.h"
#include "vfs/number_text.h"
#include "vfs/reply_text.h"

namespace vfs_calvimora {

namespace {

constexpr std::size_t none = std::string_view::npos;

// The reply's tags are found as the reply tree's parser finds them. Every
// delimiter and backslash is ASCII, and an ASCII byte never belongs to a
// UTF-8 sequence, so positions in the bytes stand for positions in the
// decoded text.
class reply_scanner {
public:
    struct tag {
        std::size_t open = none;   // position of "<"
        std::size_t close = none;  // position of ">"
        bool closing = false;

        bool found() const { return close != none; }
        std::string_view name(std::string_view bytes) const {
            return bytes.substr(open + 1, close - open - 1);
        }
    };

    explicit reply_scanner(std::string_view bytes) : bytes_(bytes) {}

    // The next tag at or after start; not found() when a delimiter is missing.
    tag read_tag(std::size_t start) const {
        tag found;
        found.open = find_delimiter('<', start);
        if (found.open == none) return found;
        found.close = find_delimiter('>', found.open);
        found.closing =
            found.close != none && found.close - found.open >= 2 && bytes_[found.open + 1] == '/';
        return found;
    }

    // Past the closing tag of the element open at depth, whose content goes
    // on at start; none for a damaged reply or one nested too deep.
    std::size_t skip_rest(std::size_t start, int depth) const {
        for (int level = depth;;) {
            const tag next = read_tag(start);
            if (!next.found()) return none;
            start = next.close + 1;
            if (next.closing) {
                if (level == depth) return start;
                --level;
            } else if (++level > max_response_depth) {
                return none;
            }
        }
    }

private:
    // An odd number of backslashes right before a delimiter escapes it.
    std::size_t find_delimiter(char delimiter, std::size_t start) const {
        for (std::size_t at = start; at < bytes_.size(); ++at) {
            const void* hit = std::memchr(bytes_.data() + at, delimiter, bytes_.size() - at);
            if (!hit) return none;
            at = static_cast<std::size_t>(static_cast<const char*>(hit) - bytes_.data());
            std::size_t backslashes = 0;
            while (at - backslashes > start && bytes_[at - backslashes - 1] == '\\') ++backslashes;
            if (backslashes % 2 == 0) return at;
        }
        return none;
    }

    std::string_view bytes_;
};

// A record's field as it stands in the reply: absent, an element (which
// reads as an empty text) or a text between two delimiters, still escaped.
struct raw_field {
    bool present = false;
    std::string_view text;
};

// The reply tree's unescaping, on bytes: backslashes before a delimiter or
// at the end stand doubled, a single one before a delimiter escapes it.
std::string unescaped(std::string_view raw) {
    std::string text;
    text.reserve(raw.size());
    for (std::size_t at = 0; at < raw.size();) {
        if (raw[at] != '\\') {
            text += raw[at++];
            continue;
        }
        std::size_t run = 0;
        while (at + run < raw.size() && raw[at + run] == '\\') ++run;
        const bool at_end = at + run == raw.size();
        const bool before_delimiter = !at_end && (raw[at + run] == '<' || raw[at + run] == '>');
        text.append(at_end || before_delimiter ? run / 2 : run, '\\');
        at += run;
        if (before_delimiter && run % 2 == 1) text += raw[at++];
    }
    return text;
}

std::wstring wide_text(const raw_field& field) {
    if (field.text.find('\\') == none) {
        return decode_reply_text(field.text.data(), field.text.size());
    }
    const std::string text = unescaped(field.text);
    return decode_reply_text(text.data(), text.size());
}

bool flag_of(const raw_field& field) {
    return field.text == "True" ||
           (field.text.find('\\') != none && unescaped(field.text) == "True");
}

// Plain decimal texts are read here; any other text goes to the generic
// reading, whose leniencies (spaces, signs, limits) stay its own.
std::int64_t int64_of(const raw_field& field) {
    const std::string_view text = field.text;
    const std::size_t first = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.empty()) return 0;
    if (text.size() - first >= 1 && text.size() - first <= 18) {
        std::int64_t value = 0;
        std::size_t at = first;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
            value = value * 10 + (text[at] - '0');
        if (at == text.size()) return first ? -value : value;
    }
    return parse_int64(wide_text(field));
}

int int_of(const raw_field& field) {
    const std::string_view text = field.text;
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '9') return text[0] - '0';
    return parse_int(wide_text(field));
}

double price_of(const raw_field& field) {
    if (field.text.empty() || field.text == "0") return 0;
    return read_price(wide_text(field));
}

// A field's text as it stands in the reply's bytes, read into each kind of
// value the quick way where the text is plain, else as the reply tree
// would read it.
class raw_text {
public:
    explicit raw_text(const raw_field& field) : field_(field) {}
    std::wstring text() const { return wide_text(field_); }
    int number() const { return int_of(field_); }
    std::int64_t wide_number() const { return int64_of(field_); }
    bool flag() const { return flag_of(field_); }
    double price() const { return price_of(field_); }

private:
    const raw_field& field_;
};

template <typename record, std::size_t count>
record record_of(const std::array<raw_field, count>& raw,
                 const std::array<record_field<record>, count>& fields) {
    record values;
    for (std::size_t index = 0; index < count; ++index)
        store_field(fields[index], values, raw_text(raw[index]));
    return values;
}

directory_record folder_of(const std::array<raw_field, directory_fields.size()>& raw) {
    return record_of(raw, directory_fields);
}

file_record file_of(const std::array<raw_field, file_fields.size()>& raw) {
    return record_of(raw, file_fields);
}

// The reply's texts are whole code points, so UTF-8 is all they need.
std::string utf8_of(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    utf8::utf32to8(text.begin(), text.end(), std::back_inserter(bytes));
    return bytes;
}

std::string narrow_text(const raw_field& field) {
    const bool plain = std::all_of(field.text.begin(), field.text.end(), [](char byte) {
        return byte != '\\' && static_cast<unsigned char>(byte) < 0x80;
    });
    return plain ? std::string(field.text) : utf8_of(wide_text(field));
}

constexpr std::size_t file_id = field_index(file_fields, "ID");
constexpr std::size_t file_name = field_index(file_fields, "Name");
constexpr std::size_t file_size = field_index(file_fields, "Size");
constexpr std::size_t file_date_modified = field_index(file_fields, "DateModified");

// What a scan reads of a file record: four of its fields, the id as UTF-8.
scanned_file scanned_of(const std::array<raw_field, file_fields.size()>& raw) {
    scanned_file file;
    file.id = narrow_text(raw[file_id]);
    file.name = wide_text(raw[file_name]);
    file.size = int64_of(raw[file_size]);
    file.date_modified = int64_of(raw[file_date_modified]);
    return file;
}

class listing_reader {
public:
    explicit listing_reader(std::string_view bytes) : bytes_(bytes), scanner_(bytes) {}

    // The files are made from their raw fields by file_made.
    template <typename file_entry, typename make>
    std::optional<basic_listing<file_entry>> read(make file_made) {
        const reply_scanner::tag root = scanner_.read_tag(0);
        if (!root.found() || root.name(bytes_) != "Result") return std::nullopt;
        basic_listing<file_entry> records;
        for (std::size_t position = root.close + 1;;) {
            const reply_scanner::tag child = scanner_.read_tag(position);
            if (!child.found()) return std::nullopt;
            if (child.closing) return records;
            const std::string_view name = child.name(bytes_);
            // An escaped name might read as a record's or an error's.
            if (name.find('\\') != none || name == "Error") return std::nullopt;
            if (name == "Directory") {
                position = read_record(child, directory_fields, records.folders, folder_of);
            } else if (name == "File") {
                position = read_record(child, file_fields, records.files, file_made);
            } else {
                position = scanner_.skip_rest(child.close + 1, 1);
            }
            if (position == none) return std::nullopt;
        }
    }

private:
    // Reads the record whose opening tag is given (a child of the root),
    // each field of the table by its name; only a record that holds fields
    // is taken. The first field of a name counts. Returns the position past
    // its closing tag.
    template <typename table_record, std::size_t count, typename record, typename make>
    std::size_t read_record(const reply_scanner::tag& opening,
                            const std::array<record_field<table_record>, count>& table,
                            std::vector<record>& records, make made) {
        std::array<raw_field, count> fields;
        bool holds_fields = false;
        // The service sends the fields in the table's order: the next one
        // is looked at first.
        std::size_t expected = 0;
        for (std::size_t position = opening.close + 1;;) {
            const reply_scanner::tag field = scanner_.read_tag(position);
            if (!field.found()) return none;
            if (field.closing) {
                if (holds_fields) records.push_back(made(fields));
                return field.close + 1;
            }
            holds_fields = true;
            const std::string_view name = field.name(bytes_);
            if (name.find('\\') != none) return none;
            const reply_scanner::tag next = scanner_.read_tag(field.close + 1);
            if (!next.found()) return none;
            raw_field value{true, std::string_view()};
            if (next.closing) {
                value.text = bytes_.substr(field.close + 1, next.open - field.close - 1);
                position = next.close + 1;
            } else {
                // A field that holds elements reads as an empty text.
                position = scanner_.skip_rest(next.close + 1, 3);
                if (position == none) return none;
                position = scanner_.skip_rest(position, 2);
                if (position == none) return none;
            }
            for (std::size_t tried = 0; tried < count; ++tried) {
                const std::size_t index = (expected + tried) % count;
                if (table[index].name == name) {
                    if (!fields[index].present) fields[index] = value;
                    expected = index + 1;
                    break;
                }
            }
        }
    }

    std::string_view bytes_;
    reply_scanner scanner_;
};

}  // namespace

listing read_listing(const response_node& reply) {
    listing records;
    for (const response_node& record : children_by_name(reply, L"Directory")) {
        records.folders.push_back(read_directory_record(record));
    }
    for (const response_node& record : children_by_name(reply, L"File")) {
        records.files.push_back(read_file_record(record));
    }
    return records;
}

scanned_file scanned(const file_record& record) {
    return {record.name, utf8_of(record.id), record.size, record.date_modified};
}

std::optional<listing> read_plain_listing(std::string_view reply) {
    return listing_reader(reply).read<file_record>(file_of);
}

listing parse_listing_reply(std::string_view reply) {
    if (std::optional<listing> records = read_plain_listing(reply)) return std::move(*records);
    return read_listing(parse_operation_reply(reply.data(), reply.size()));
}

std::optional<scan_listing> read_plain_scan_listing(std::string_view reply) {
    return listing_reader(reply).read<scanned_file>(scanned_of);
}

scan_listing parse_scan_listing_reply(std::string_view reply) {
    if (std::optional<scan_listing> records = read_plain_scan_listing(reply))
        return std::move(*records);
    listing whole = parse_listing_reply(reply);
    scan_listing records{std::move(whole.folders), {}};
    records.files.reserve(whole.files.size());
    for (const file_record& file : whole.files) records.files.push_back(scanned(file));
    return records;
}

}  // namespace vfs_calvimora
