#include "folder/workers/opened_copies.h"

#include <sys/stat.h>

#include <boost/filesystem/operations.hpp>
#include <charconv>

#include "serializer/exceptions.h"
#include "serializer/file_serializer.h"
#include "syncer/tables/binding_manager.h"
#include "win/file.h"

namespace {

const wchar_t* const root_name = L"opened_copies";
const wchar_t* const record_name = L"copy";

std::wstring decimal(std::int64_t value) {
    return std::to_wstring(value);
}

// The whole text as a signed decimal that fits in 64 bits; anything else
// (blanks, other characters, too many digits) is no number.
std::optional<std::int64_t> whole_decimal(const std::wstring& text) {
    std::string narrow;
    for (const wchar_t c : text) {
        if ((c < L'0' || c > L'9') && c != L'-') return std::nullopt;
        narrow.push_back(static_cast<char>(c));
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    if (error != std::errc() || end != narrow.data() + narrow.size() || narrow.empty())
        return std::nullopt;
    return value;
}

struct record_reader {
    const serializer::node& stored;
    bool whole = true;

    std::int64_t number(const wchar_t* name) {
        const auto found = stored.find(name);
        const std::optional<std::int64_t> value =
            found == stored.end() ? std::nullopt : whole_decimal(found->second.value);
        if (!value) whole = false;
        return value.value_or(0);
    }
    std::wstring text(const wchar_t* name) {
        const auto found = stored.find(name);
        if (found == stored.end()) {
            whole = false;
            return std::wstring();
        }
        return found->second.value;
    }
};

boost::filesystem::path records_path(const std::wstring& user_name) {
    return syncer::binding_manager::get_settings_directory(user_name) / L"opened_copies.xml";
}

bool still_there(const std::wstring& copy_path) {
    struct stat status {};
    return ::stat(win_file::native_path(copy_path).c_str(), &status) == 0;
}

}  // namespace

copy_step step_for(const std::optional<syncer::local_file_state>& copy,
                   const std::optional<opened_copy>& record, const remote_version& remote,
                   bool sent_as_it_is) {
    if (!copy) return copy_step::fetch;
    // A record of another remote file is of a file whose copy had this
    // path before: it says nothing about this one.
    const bool same_file = !record || record->remote.id == remote.id;
    if (same_file && copy->last_write_time() == remote.date && copy->size == remote.size)
        return copy_step::use;
    // A remote file without a date is never newer than its copy.
    if (same_file && remote.date == -1) return copy_step::use;
    const bool unchanged = (record && record->local == *copy) || sent_as_it_is;
    const bool remote_as_recorded = record && same_file && record->remote == remote;
    if (unchanged) return remote_as_recorded ? copy_step::use : copy_step::fetch;
    if (remote_as_recorded) return copy_step::use;
    // A copy made before its record was kept: only the dates can tell.
    if (!record && copy->last_write_time() >= remote.date) return copy_step::use;
    return copy_step::keep_and_fetch;
}

opened_copies::opened_copies(const std::wstring& user_name) : user_name_(user_name) {
    const boost::filesystem::path path = records_path(user_name);
    boost::system::error_code ignored;
    if (!boost::filesystem::exists(path, ignored)) return;
    try {
        records_ = from_node(serializer::file_serializer::load_cached(path));
    } catch (const serializer::serializer_exception&) {
    } catch (const boost::filesystem::filesystem_error&) {
    }
}

std::optional<opened_copy> opened_copies::find(const std::wstring& copy_path) const {
    const auto found = records_.find(copy_path);
    if (found == records_.end()) return std::nullopt;
    return found->second;
}

void opened_copies::remember(const std::wstring& copy_path, const opened_copy& copy) {
    records_[copy_path] = copy;
    std::erase_if(records_, [](const auto& record) { return !still_there(record.first); });
    serializer::file_serializer::save_cached(records_path(user_name_), to_node(records_), false);
}

serializer::node opened_copies::to_node(const std::map<std::wstring, opened_copy>& records) {
    serializer::node root(root_name, L"");
    for (const auto& [path, copy] : records) {
        serializer::node& record = root.add(record_name, L"")->second;
        record.set(L"path", path);
        record.set(L"remote_id", copy.remote.id);
        record.set(L"remote_date", decimal(copy.remote.date));
        record.set(L"remote_size", decimal(copy.remote.size));
        record.set(L"size", decimal(copy.local.size));
        record.set(L"write_time_ns", decimal(copy.local.write_time_ns));
        record.set(L"change_time_ns", decimal(copy.local.change_time_ns));
        record.set(L"inode", decimal(static_cast<std::int64_t>(copy.local.inode)));
    }
    return root;
}

std::map<std::wstring, opened_copy> opened_copies::from_node(const serializer::node& stored) {
    std::map<std::wstring, opened_copy> records;
    if (stored.name != root_name) return records;
    const auto [first, last] = stored.equal_range(record_name);
    for (auto child = first; child != last; ++child) {
        record_reader read{child->second};
        opened_copy copy;
        const std::wstring path = read.text(L"path");
        copy.remote.id = read.text(L"remote_id");
        copy.remote.date = read.number(L"remote_date");
        copy.remote.size = read.number(L"remote_size");
        copy.local.size = read.number(L"size");
        copy.local.write_time_ns = read.number(L"write_time_ns");
        copy.local.change_time_ns = read.number(L"change_time_ns");
        copy.local.inode = static_cast<std::uint64_t>(read.number(L"inode"));
        if (read.whole && !path.empty()) records[path] = copy;
    }
    return records;
}
