#include "process_command_line.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "wide_text.h"

namespace win_process {

namespace {

bool is_blank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// The program word: no escapes, quotes only group.
std::wstring program_word(std::wstring_view line, size_t& at) {
    std::wstring word;
    bool quoted = false;
    for (; at < line.size(); ++at) {
        const wchar_t c = line[at];
        if (c == L'"') {
            quoted = !quoted;
        } else if (is_blank(c) && !quoted) {
            break;
        } else {
            word += c;
        }
    }
    return word;
}

std::wstring argument_word(std::wstring_view line, size_t& at) {
    std::wstring word;
    bool quoted = false;
    while (at < line.size()) {
        const wchar_t c = line[at];
        if (is_blank(c) && !quoted) break;
        if (c == L'\\') {
            size_t backslashes = 0;
            while (at < line.size() && line[at] == L'\\') {
                ++backslashes;
                ++at;
            }
            if (at < line.size() && line[at] == L'"') {
                word.append(backslashes / 2, L'\\');
                if (backslashes % 2 == 1) {
                    word += L'"';
                    ++at;
                }
            } else {
                word.append(backslashes, L'\\');
            }
        } else if (c == L'"') {
            if (quoted && at + 1 < line.size() && line[at + 1] == L'"') {
                word += L'"';
                at += 2;
            } else {
                quoted = !quoted;
                ++at;
            }
        } else {
            word += c;
            ++at;
        }
    }
    return word;
}

bool is_regular_file(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool ends_with_exe(const std::string& path) {
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return suffix == ".exe";
}

// The file at path, or the built program it names.
std::optional<std::string> existing_program(const std::string& path) {
    if (is_regular_file(path)) return path;
    if (ends_with_exe(path)) {
        std::string built = path.substr(0, path.size() - 4);
        if (is_regular_file(built)) return built;
    }
    return std::nullopt;
}

std::vector<std::string> search_folders() {
    std::vector<std::string> folders;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) folders.push_back(self.parent_path().string());
    folders.push_back(".");
    if (const char* path = std::getenv("PATH")) {
        std::string_view rest(path);
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            const std::string_view folder = rest.substr(0, colon);
            folders.emplace_back(folder.empty() ? "." : folder);
            rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        }
    }
    return folders;
}

}  // namespace

std::vector<std::wstring> split_command_line(std::wstring_view line) {
    std::vector<std::wstring> words;
    size_t at = 0;
    while (at < line.size() && is_blank(line[at])) ++at;
    if (at == line.size()) return words;
    words.push_back(program_word(line, at));
    for (;;) {
        while (at < line.size() && is_blank(line[at])) ++at;
        if (at == line.size()) return words;
        words.push_back(argument_word(line, at));
    }
}

std::optional<std::string> find_program(std::wstring_view program, bool search) {
    std::string native = win_detail::to_utf8(program);
    for (char& c : native)
        if (c == '\\') c = '/';
    if (native.empty()) return std::nullopt;
    if (!search || native.find('/') != std::string::npos) return existing_program(native);
    for (const std::string& folder : search_folders()) {
        if (auto found = existing_program(folder + "/" + native)) return found;
    }
    return std::nullopt;
}

}  // namespace win_process
