#include "sync_support.h"

#include <stdlib.h>

#include <boost/filesystem/operations.hpp>
#include <boost/pointer_cast.hpp>
#include <fstream>
#include <sstream>
#include <thread>

#include "syncer/core/exceptions.h"
#include "syncer/core/paths.h"
#include "syncer/tables/binding_manager.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "utils/locale.h"
#include "utils/time_scale.h"
#include "vfs/calvimora_client.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "vfs/session.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"

namespace sync_testing {

namespace {

const bool time_scale_set =
    setenv(utils::time_scale_variable, std::to_string(time_scale).c_str(), 1) == 0;

const wchar_t* const password = L"secret";

std::string narrow(const std::wstring& text) {
    return fs::path(text).string();
}

std::wstring widen(const std::string& text) {
    return fs::path(text).wstring();
}

std::pair<std::wstring, std::wstring> split(const std::wstring& path) {
    const std::size_t last = path.find_last_of(L"/\\");
    if (last == std::wstring::npos) return {L"", path};
    return {path.substr(0, last), path.substr(last + 1)};
}

}  // namespace

bool eventually(const std::function<bool()>& condition, std::chrono::seconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

sync_world::sync_world() {
    if (!time_scale_set || utils::time_scale() != time_scale)
        throw std::runtime_error("the time scale was read before it was set");
    utils::imbue_utf8_locale();
    service_.export_url();
    vfs_session_testing::store_pc_id(L"0b7d2c52-6a41-4d0e-9a57-1f0c3c7e5a10");
    tray_mutex_ = CreateMutexW(nullptr, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    if (tray_mutex_ == nullptr) throw std::runtime_error("cannot create the tray mutex");
    user_id_ = service_.add_user(narrow(user), narrow(password));
    vfs_session_testing::login_once_session_is_up(win_module::this_module(), user, password);
    editor_ = vfs_calvimora::client::log_in(user, password, L"editor-pc");
    fs::create_directories(local_path(L""));
}

sync_world::~sync_world() {
    editor_.reset();
    if (tray_mutex_ != nullptr) CloseHandle(tray_mutex_);
}

std::wstring sync_world::local() const {
    return local_path(L"").wstring();
}

fs::path sync_world::local_path(const std::wstring& relative) const {
    fs::path path = fs::path(root_.path()) / "work";
    return relative.empty() ? path : path / relative;
}

syncer::binding sync_world::bind(const std::wstring& dir_remote, const std::wstring& local_relative,
                                 const syncer::sync_rule& rule) {
    syncer::binding made(dir_remote, local_path(local_relative).wstring(), L"", L"");
    made._type = syncer::binding::type_user_choice;
    made.can_recourse_subdirs = syncer::sync_permission::yes;
    made.rule = rule;
    syncer::locked_add_binding(user, made);
    return *syncer::locked_get_bindings(user).find(made);
}

void sync_world::force(const syncer::binding& target) {
    syncer::binding_manager table(user, true);
    table.set_force_sync_once(target);
}

void sync_world::put_local(const std::wstring& relative, const std::string& content,
                           std::int64_t time) {
    const fs::path path = local_path(relative);
    fs::create_directories(path.parent_path());
    const fs::path staging = path.string() + ".staging";
    std::ofstream(staging.native(), std::ios::binary | std::ios::trunc) << content;
    fs::last_write_time(staging, static_cast<std::time_t>(time));
    fs::rename(staging, path);
}

void sync_world::remove_local(const std::wstring& relative) {
    fs::remove_all(local_path(relative));
}

side_files sync_world::local_files(const std::wstring& relative) const {
    side_files files;
    const fs::path top = local_path(relative);
    if (!fs::exists(top)) return files;
    for (fs::recursive_directory_iterator entry(top), end; entry != end; ++entry) {
        if (!fs::is_regular_file(entry->status())) continue;
        std::ifstream in(entry->path().native(), std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        const std::wstring name = entry->path().lexically_relative(top).generic_wstring();
        files[name] = {content.str(),
                       static_cast<std::int64_t>(fs::last_write_time(entry->path()))};
    }
    return files;
}

side_folders sync_world::local_folders(const std::wstring& relative) const {
    side_folders folders;
    const fs::path top = local_path(relative);
    if (!fs::exists(top)) return folders;
    for (fs::recursive_directory_iterator entry(top), end; entry != end; ++entry) {
        if (fs::is_directory(entry->symlink_status()))
            folders.insert(entry->path().lexically_relative(top).generic_wstring());
    }
    return folders;
}

void sync_world::put_remote(const std::wstring& path, const std::string& content,
                            std::int64_t time) {
    const auto [folder_path, name] = split(path);
    const vfs::directory_ptr folder = editor_->get_item_by_path(folder_path, true);
    vfs::file_ptr file;
    try {
        file = boost::dynamic_pointer_cast<vfs::file>(folder->get_item(name, true));
    } catch (const vfs::item_not_found_exception&) {
        file = boost::dynamic_pointer_cast<vfs::file>(
            folder->create_file_alloc(name, static_cast<std::int64_t>(content.size())));
    }
    file->open(vfs::modeWrite | vfs::modeOverwrite, static_cast<std::int64_t>(content.size()));
    if (!content.empty()) file->write(content.data(), static_cast<int>(content.size()));
    file->close(time);
    // The service dates a file closed without a positive time with the time
    // of the upload.
    if (time <= 0) file->set_modification_date(time);
}

void sync_world::rename_remote(const std::wstring& path, const std::wstring& new_name) {
    const auto [folder_path, name] = split(path);
    remote_folder(folder_path)->rename_item(name, new_name);
}

void sync_world::remove_remote(const std::wstring& path) {
    const auto [folder_path, name] = split(path);
    remote_folder(folder_path)->delete_item(name, true);
}

void sync_world::make_remote_folder(const std::wstring& path) {
    editor_->get_item_by_path(path, true);
}

vfs::directory_ptr sync_world::remote_folder(const std::wstring& path) {
    return path.empty() ? editor_->get_root_directory() : editor_->get_item_by_path(path, false);
}

side_files sync_world::remote_files(const std::wstring& folder) {
    side_files files;
    const std::string prefix = "/" + narrow(folder) + "/";
    const auto state = service_.control("state");
    for (const auto& [key, item] : state.get_child("items")) {
        if (item.get<std::string>("owner_id") != user_id_) continue;
        if (item.get<std::string>("is_folder") == "true" || item.get<std::string>("live") != "true")
            continue;
        const std::string path = item.get<std::string>("path");
        if (path.rfind(prefix, 0) != 0) continue;
        files[widen(path.substr(prefix.size()))] = {
            service_.file_content(item.get<std::string>("id")),
            std::stoll(item.get<std::string>("date_modified"))};
    }
    return files;
}

side_folders sync_world::remote_folders(const std::wstring& folder) {
    side_folders folders;
    const std::string prefix = "/" + narrow(folder) + "/";
    const auto state = service_.control("state");
    for (const auto& [key, item] : state.get_child("items")) {
        if (item.get<std::string>("owner_id") != user_id_) continue;
        if (item.get<std::string>("is_folder") != "true" || item.get<std::string>("live") != "true")
            continue;
        const std::string path = item.get<std::string>("path");
        if (path.rfind(prefix, 0) == 0) folders.insert(widen(path.substr(prefix.size())));
    }
    return folders;
}

bool sync_world::in_remote_trash(const std::wstring& path, bool is_folder) {
    const std::string wanted = "/" + narrow(path);
    const auto state = service_.control("state");
    for (const auto& [key, item] : state.get_child("items")) {
        if (item.get<std::string>("owner_id") != user_id_ ||
            item.get<std::string>("path") != wanted)
            continue;
        if ((item.get<std::string>("is_folder") == "true") == is_folder &&
            item.get<std::string>("date_deleted") != "0")
            return true;
    }
    return false;
}

syncer::sync_rule allow_all() {
    using enum syncer::sync_permission;
    return syncer::sync_rule({yes, yes, yes, yes, yes, yes, yes, yes});
}

std::list<syncer::task> tasks_of(const syncer::manager& engine) {
    for (;;) {
        try {
            return engine.get_tasks();
        } catch (const syncer::busy_exception&) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
}

std::string text_of(const side_files& files) {
    std::string text;
    for (const auto& [name, file] : files)
        text += narrow(name) + " (" + std::to_string(file.content.size()) + " bytes, " +
                std::to_string(file.time) + ") ";
    return text.empty() ? "nothing" : text;
}

std::string text_of(const side_folders& folders) {
    std::string text;
    for (const std::wstring& folder : folders) text += narrow(folder) + "/ ";
    return text.empty() ? "no folder" : text;
}

::testing::AssertionResult table_matches(const syncer::binding& target, const side_files& local,
                                         const side_files& remote) {
    syncer::items_manager table(target, sync_world::user);
    for (const auto& [name, file] : local) {
        const auto [folder, leaf] = split(name);
        const std::wstring dir_remote =
            folder.empty() ? target.dir_remote : syncer::join_path(target.dir_remote, folder);
        const std::wstring dir_local =
            folder.empty() ? target.dir_local : syncer::join_path(target.dir_local, folder);
        const auto stored = table.find(syncer::sync_item(dir_remote, dir_local, leaf));
        if (stored == table.end())
            return ::testing::AssertionFailure() << narrow(name) << " has no record";
        const auto remote_file = remote.find(name);
        const std::int64_t remote_time =
            remote_file == remote.end() ? syncer::missing_time : remote_file->second.time;
        if (stored->last_time_local != file.time || stored->last_time_remote != remote_time)
            return ::testing::AssertionFailure()
                   << narrow(name) << " is recorded with " << stored->last_time_remote << "/"
                   << stored->last_time_local << ", found " << remote_time << "/" << file.time;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult converged(sync_world& world, const syncer::manager& engine,
                                     const syncer::binding& target,
                                     const std::wstring& remote_folder,
                                     const std::wstring& local_relative,
                                     std::chrono::seconds deadline) {
    side_files local;
    side_files remote;
    const bool settled = eventually(
        [&] {
            if (!tasks_of(engine).empty()) return false;
            local = world.local_files(local_relative);
            remote = world.remote_files(remote_folder);
            if (local != remote) {
                world.force(target);
                return false;
            }
            if (!table_matches(target, local, remote)) {
                world.force(target);
                return false;
            }
            return true;
        },
        deadline);
    if (settled) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "local: " << text_of(local) << "; remote: " << text_of(remote);
}

}  // namespace sync_testing
