#include "folder/workers/play_all.h"

#include <boost/pointer_cast.hpp>

#include "folder/module/local_folders.h"
#include "folder/module/local_names.h"
#include "folder/module/shell_registry.h"
#include "folder/transfer/data_object_impl.h"
#include "folder/workers/open_with_list.h"
#include "folder/workers/shell_open.h"
#include "utils/scoped_handle.h"
#include "vfs/file.h"
#include "win/code_page.h"
#include "win/file.h"
#include "win/shell.h"
#include "win/shell_assoc.h"
#include "win/user_window.h"

namespace {

// Names with a counter are tried this often before giving up: a folder
// holding that many playlists of one name is not worth another.
constexpr int playlist_name_attempts = 10000;

std::wstring without_line_breaks(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text)
        if (c != L'\r' && c != L'\n') out += c;
    return out;
}

// The playlist's base name from the remote folder's name, which other users
// choose: no separators, drive marks, wildcards or control characters, no
// trailing dots or spaces (the file system would drop them), and never "."
// or "..".
std::wstring playlist_base_name(const vfs::directory_ptr& folder) {
    const std::wstring fallback = L"CalvimoraPlayAll";
    if (!folder) return fallback;
    std::wstring name;
    for (wchar_t c : folder->get_name()) {
        const bool refused =
            c < 0x20 || c == 0x7F || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos;
        name += refused ? L'_' : c;
    }
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    if (name.empty() || name.find_first_not_of(L'.') == std::wstring::npos) return fallback;
    return name;
}

std::wstring playlist_text(const std::vector<play_entry>& entries) {
    std::wstring text = L"#EXTM3U\n";
    for (const auto& entry : entries)
        text += L"#EXTINF:0," + without_line_breaks(entry.name) + L"\n" +
                without_line_breaks(entry.link) + L"\n\n";
    return text;
}

// The text in the ANSI code page, as many bytes as the conversion gives.
bool ansi_bytes(const std::wstring& text, std::string& out) {
    if (text.empty()) return true;
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    out.assign(static_cast<size_t>(size), '\0');
    return WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                               size, nullptr, nullptr) == size;
}

// Creates the first free playlist name and writes the content into it; the
// creation itself claims the name, so a playlist that appears meanwhile is
// never overwritten. The path (native form, as the player is given it), or
// empty when nothing could be written.
std::wstring write_new_playlist(const std::wstring& folder, const std::wstring& base,
                                const std::string& content) {
    for (int counter = 0; counter < playlist_name_attempts; ++counter) {
        const std::wstring path = local_names::native_form(
            counter == 0 ? folder + L"\\" + base + L".m3u"
                         : folder + L"\\" + base + L"(" + std::to_wstring(counter) + L").m3u");
        utils::scoped_handle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE,
                                              nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
            return {};
        }
        DWORD written = 0;
        if (!content.empty() && !WriteFile(file.get(), content.data(),
                                           static_cast<DWORD>(content.size()), &written, nullptr))
            return {};
        return path;
    }
    return {};
}

// The folder of playlists, made when missing: the system makes no other
// use of it, so it is ours to make.
std::wstring playlist_folder() {
    const std::wstring folder = shell_utils::GetIntermediateFilesFolder();
    if (folder.empty()) return {};
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return {};
    return folder;
}

// A link as one argument of a command line: quoted, a quote inside
// escaped as a link escapes it.
std::wstring quoted_link(const std::wstring& link) {
    std::wstring out = L"\"";
    for (wchar_t c : without_line_breaks(link))
        out += c == L'"' ? std::wstring(L"%22") : std::wstring(1, c);
    return out + L"\"";
}

void play_one(const play_entry& entry, HKEY program_key, bool open_with_dialog) {
    if (open_with_dialog) {
        open_as_dialog(entry.link);
        return;
    }
    std::wstring program;
    if (program_key) {
        WCHAR buffer[MAX_PATH] = {};
        DWORD count = MAX_PATH;
        if (AssocQueryStringByKeyW(0, ASSOCSTR_EXECUTABLE, program_key, nullptr, buffer, &count) !=
            S_OK)
            return;
        program = buffer;
    } else {
        COpenWithList list;
        if (!open_with_list(list, entry.name, true) || !list.GetCurrent()) return;
        program = list.GetCurrent()->GetId();
    }
    ShellExecuteW(nullptr, nullptr, program.c_str(), quoted_link(entry.link).c_str(), nullptr,
                  SW_SHOWNORMAL);
}

void play_several(const std::vector<play_entry>& entries, const vfs::directory_ptr& folder) {
    std::string content;
    if (!ansi_bytes(playlist_text(entries), content)) return;
    const std::wstring directory = playlist_folder();
    if (directory.empty()) return;
    const std::wstring path = write_new_playlist(directory, playlist_base_name(folder), content);
    if (path.empty()) return;
    const std::wstring player = IntersectOpenWithLists(entries.front().name, L".m3u");
    if (player.empty()) return;
    HKEY application = nullptr;
    if (FAILED(AssocQueryKeyW(ASSOCF_INIT_BYEXENAME, ASSOCKEY_APP, player.c_str(), nullptr,
                              &application)))
        return;
    shell_utils::scoped_key owned(application);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_WAITFORINPUTIDLE | SEE_MASK_CLASSKEY;
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    info.hkeyClass = application;
    ShellExecuteExW(&info);
}

}  // namespace

void write_play_all_playlist(const std::vector<play_entry>& entries, HKEY program_key,
                             const vfs::directory_ptr& folder, bool open_with_dialog) {
    if (entries.empty()) return;
    if (entries.size() == 1)
        play_one(entries.front(), program_key, open_with_dialog);
    else
        play_several(entries, folder);
}

void CDataObjectImpl::collect_music_files(HWND) {
    collect_media_files(shell_utils::IsPerceivedAudio);
}

void CDataObjectImpl::collect_video_files(HWND) {
    collect_media_files(shell_utils::IsPerceivedVideo);
}

void CDataObjectImpl::collect_media_files(bool (*of_type)(const std::wstring&)) {
    if (!m_folder) return;
    std::vector<play_entry> entries;
    for (const auto& item : m_folder->list_items()) {
        if (!item || item->get_type() == vfs::item_type_directory) continue;
        const std::wstring name = item->get_name();
        if (!of_type(name)) continue;
        const auto file = boost::dynamic_pointer_cast<vfs::file>(item);
        if (!file) continue;
        entries.push_back({name, file->get_direct_link()});
    }
    write_play_all_playlist(entries, nullptr, m_folder, false);
}
