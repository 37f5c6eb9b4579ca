#include "vfs/listing_records.h"

#include <charconv>
#include <cmath>
#include <cwctype>
#include <string>

#include "vfs/number_text.h"

namespace vfs_calvimora {

bool read_flag(const std::wstring& text) {
    return text == L"True";
}

double read_price(const std::wstring& text) {
    std::size_t start = 0;
    while (start < text.size() && std::iswspace(static_cast<wint_t>(text[start]))) {
        ++start;
    }
    if (start < text.size() && text[start] == L'+') {
        ++start;
    }
    // Only ASCII can be part of a number; from_chars reads it the same way
    // in every locale.
    std::string ascii;
    for (std::size_t at = start; at < text.size() && text[at] > 0 && text[at] < 0x80; ++at) {
        ascii.push_back(static_cast<char>(text[at]));
    }
    double value = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (error != std::errc() || !std::isfinite(value)) {
        return 0;
    }
    return value;
}

namespace {

// A field's text from the reply tree, read as every reply's texts are.
class tree_text {
public:
    explicit tree_text(std::wstring text) : text_(std::move(text)) {}
    std::wstring text() const { return text_; }
    int number() const { return parse_int(text_); }
    std::int64_t wide_number() const { return parse_int64(text_); }
    bool flag() const { return read_flag(text_); }
    double price() const { return read_price(text_); }

private:
    std::wstring text_;
};

template <typename record, std::size_t count>
record read_record(const response_node& element,
                   const std::array<record_field<record>, count>& fields) {
    record values;
    for (const record_field<record>& field : fields) {
        const std::wstring name(field.name.begin(), field.name.end());
        store_field(field, values, tree_text(find_child_text(element, name)));
    }
    return values;
}

}  // namespace

directory_record read_directory_record(const response_node& record) {
    return read_record(record, directory_fields);
}

file_record read_file_record(const response_node& record) {
    return read_record(record, file_fields);
}

vfs::directory::sharewith_item read_sharewith_record(const response_node& record) {
    vfs::directory::sharewith_item values;
    values.id = parse_int(find_child_text(record, L"ID"));
    values.sharewith_user_id = parse_int(find_child_text(record, L"ShareWithUserID"));
    values.name = find_child_text(record, L"Name");
    values.share_mode = parse_int(find_child_text(record, L"ShareMode"));
    // Which users the requester may change or remove is the service's word.
    values.flags = parse_int(find_child_text(record, L"Flags"));
    return values;
}

}  // namespace vfs_calvimora
