#include "vfs/calvimora_file.h"

#include <utf8.h>

#include <ctime>
#include <iterator>
#include <locale>
#include <sstream>

#include "vfs/calvimora_directory.h"
#include "vfs/calvimora_exception.h"
#include "vfs/number_text.h"

namespace vfs_calvimora {

namespace {

constexpr int upload_mode = vfs::modeWrite | vfs::modeOverwrite;

const wchar_t* const connection_text =
    L"Please, check your internet connection or firewall settings";

std::string utf8_text(const std::wstring& text) {
    std::string narrow;
    utf8::utf32to8(text.begin(), text.end(), std::back_inserter(narrow));
    return narrow;
}

// Numbers in form values: decimal text, whatever the process's locale;
// prices with at most six significant digits (1.5 as "1.5", 10.0 as "10").
template <typename Number>
std::wstring number_text(Number value) {
    std::wostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

// The stream direction an open mode asks for: a download for read alone,
// an upload for write with overwrite; anything else is refused by the
// stream (0).
int transfer_kind(int mode) {
    if ((mode & vfs::modeRead) != 0 && (mode & upload_mode) == 0) {
        return transfer_stream::download;
    }
    if ((mode & upload_mode) == upload_mode && (mode & vfs::modeRead) == 0) {
        return transfer_stream::upload;
    }
    return transfer_stream::closed;
}

std::int64_t known_date(std::int64_t date) {
    return date == 0 ? vfs::no_date : date;
}

}  // namespace

file::file(const client& session, const file_record& record, int mode,
           const std::wstring& temp_location)
    : session_(session),
      id_(record.id),
      name_(record.name),
      link_(record.link),
      direct_link_(record.direct_link),
      location_(record.location),
      temp_location_(temp_location),
      description_(record.description),
      access_(record.access),
      price_(record.price),
      size_(record.size),
      date_accessed_(record.date_accessed),
      date_modified_(record.date_modified),
      date_deleted_(record.date_deleted) {
    if (mode == 0) {
        return;
    }
    if (mode != upload_mode) {
        throw exception(L"Internal error",
                        L"Wrong file open mode: only modeWrite|modeOverwrite is supported");
    }
    stream().transfer_open(utf8_text(temp_location_), transfer_stream::upload);
    mode_ = mode;
}

file::~file() {
    // Only close commits an upload: one left open here may be unfinished,
    // so its transfer is dropped with the stream. A download is closed.
    if ((mode_ & vfs::modeRead) != 0) {
        try {
            file::close(-1);
        } catch (...) {
            // Nothing can be reported from here.
        }
    }
}

transfer_stream& file::stream() {
    // Made at the first transfer: a listing builds many files that are
    // never opened.
    if (!stream_) {
        stream_ = std::make_unique<transfer_stream>(
            session_.get_transfer_host(), session_.get_transfer_user(),
            session_.get_transfer_password(), session_.get_download_speed_limit(),
            session_.get_upload_speed_limit(), session_.get_ca_file());
    }
    return *stream_;
}

response_node file::file_request(const std::wstring& action, request_parameters parameters) {
    parameters[L"action"] = action;
    parameters[L"file_id"] = id_;
    add_location_params(parameters);
    return session_.call_cm_operations(std::move(parameters));
}

void file::add_location_params(request_parameters& /*parameters*/) {}

void file::add_source_params(request_parameters& /*parameters*/) {}

std::wstring file::thumbnail_shared_user_id() {
    return L"";
}

std::wstring file::get_name() {
    return name_;
}

std::wstring file::get_id() {
    return id_;
}

std::wstring file::get_server_id() {
    return id_;
}

std::wstring file::get_path() {
    return find_child_text(file_request(L"get_file_path", {}), L"Path");
}

std::wstring file::get_description() {
    return description_;
}

void file::set_description(const std::wstring& description) {
    file_request(L"set_file_description", {{L"description", description}});
    description_ = description;
}

int file::get_type() {
    return vfs::item_type_file;
}

vfs::byte_buffer file::get_thumbnail() {
    return session_.get_thumbnail_data(thumbnail_shared_user_id(), id_);
}

void file::set_access(int access) {
    file_request(L"set_file_access", {{L"access", number_text(access)}});
    access_ = access;
}

int file::get_access() {
    return access_;
}

std::wstring file::get_link() {
    return link_;
}

std::int64_t file::get_creation_date() {
    return vfs::no_date;
}

std::int64_t file::get_delete_date() {
    return known_date(date_deleted_);
}

void file::restore() {
    file_request(L"restore_file_from_trash", {});
}

std::wstring file::get_direct_link() {
    return direct_link_;
}

void file::copy(const vfs::item_ptr& destination, bool move) {
    auto* target = dynamic_cast<vfs_calvimora::directory*>(destination.get());
    if (target == nullptr || destination->get_type() != vfs::item_type_directory) {
        throw exception(L"Copy file failed", L"Wrong type of destination item");
    }
    request_parameters parameters = target->add_destination_params();
    add_source_params(parameters);
    parameters[L"action"] = L"copy_file";
    parameters[L"src_file_id"] = id_;
    parameters[L"move"] = move ? L"1" : L"0";
    parameters[L"is_pro"] = L"0";
    session_.call_cm_operations(std::move(parameters));
}

double file::get_price() {
    return price_;
}

void file::set_price(double price) {
    file_request(L"set_file_price", {{L"price", number_text(price)}});
    price_ = price;
}

void file::open(int mode, std::int64_t size) {
    // Checked before any request: the running transfer keeps its location.
    if (mode_ != 0) {
        throw exception(L"Open failed", L"File already opened");
    }
    const int kind = transfer_kind(mode);
    std::wstring location;
    std::int64_t expected_size = -1;
    if (kind == transfer_stream::upload) {
        const response_node reply =
            file_request(L"open_file_upload", {{L"size", number_text(size)}, {L"is_pro", L"0"}});
        location = find_child_text(reply, L"TempLocation");
    } else {
        const response_node reply = file_request(L"open_file_download", {{L"is_pro", L"0"}});
        // Where the contents lie and their size as the service states them
        // now, when it does; else the record's. A file built from its id
        // alone has no record location.
        const std::wstring stated_location = find_child_text(reply, L"Location");
        location = stated_location.empty() ? location_ : stated_location;
        const std::wstring announced = find_child_text(reply, L"Size");
        expected_size = announced.empty() ? size_ : parse_int64(announced);
        size_ = expected_size;
    }
    stream().transfer_open(utf8_text(location), kind, expected_size);
    temp_location_ = location;
    download_size_ = expected_size;
    upload_confirmed_ = false;
    mode_ = mode;
    position_ = 0;
}

void file::close(std::int64_t file_time) {
    if (mode_ == 0) {
        throw exception(L"Close failed", L"File is not opened");
    }
    const bool upload = (mode_ & upload_mode) != 0;
    if (stream().get_mode() != transfer_stream::closed) {
        const bool complete = stream().transfer_close();
        upload_confirmed_ = upload && complete;
    }
    if (upload) {
        // A commit of bytes the server may not hold would replace the
        // file's content with a wrong one.
        if (!upload_confirmed_) {
            mode_ = 0;
            position_ = 0;
            throw exception(L"Close failed", connection_text);
        }
        date_modified_ = file_time > 0 ? file_time : static_cast<std::int64_t>(std::time(nullptr));
        size_ = position_;
        file_request(L"close_file_upload", {{L"temp_location", temp_location_},
                                            {L"file_time", number_text(date_modified_)},
                                            {L"file_size", number_text(size_)},
                                            {L"is_pro", L"0"}});
    } else {
        file_request(L"close_file_download", {{L"is_pro", L"0"}});
    }
    mode_ = 0;
    position_ = 0;
    upload_confirmed_ = false;
}

bool file::is_bof() {
    throw exception(L"Internal error", L"file::is_bof(): Operation not implemented");
}

bool file::is_eof() {
    return stream().is_eof();
}

int file::get_mode() {
    return mode_;
}

std::int64_t file::get_pos() {
    return position_;
}

void file::seek(std::int64_t offset, int origin) {
    if ((origin == vfs::seek_current && offset == 0) ||
        (origin == vfs::seek_begin && offset == position_)) {
        return;
    }
    if (origin == vfs::seek_begin && offset == 0) {
        // A rewind starts the transfer over from byte 0.
        const int kind = stream().get_mode();
        try {
            stream().transfer_abort();
            stream().transfer_open(utf8_text(temp_location_), kind, download_size_);
        } catch (const vfs::exception& failure) {
            throw exception(L"Seek error", failure.get_text());
        }
        position_ = 0;
        return;
    }
    throw exception(L"Internal error", L"file::seek(): Operation not implemented");
}

int file::read(void* buffer, int length) {
    const int got = stream().transfer_read(buffer, length);
    position_ += got;
    return got;
}

int file::write(const void* pdata, int len) {
    const int written = stream().transfer_write(pdata, len);
    position_ += written;
    return written;
}

std::int64_t file::get_size() {
    return size_;
}

std::int64_t file::get_access_date() {
    return known_date(date_accessed_);
}

std::int64_t file::get_modification_date() {
    return known_date(date_modified_);
}

void file::set_modification_date(std::int64_t time) {
    // Kept even when the request fails.
    date_modified_ = time;
    file_request(L"set_file_date", {{L"file_datetime", number_text(time)}});
}

int file::get_attributes() {
    return 0;
}

void file::set_attributes(int /*attr*/) {}

}  // namespace vfs_calvimora
