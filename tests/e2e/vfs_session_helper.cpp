// A second process of the log-on session for the end-to-end tests: asks the
// client what it sees and prints it on one line.
//   vfs_session_helper logged_in   -> "yes" or "no"
//   vfs_session_helper client      -> the session's five user fields, the
//                                     transfer host, and "same" when a second
//                                     get_client returns the same session
// Failures print "<title>: <text>" and exit with 1.
#include <cstdio>
#include <cstring>
#include <string>

#include <utf8.h>

#include "vfs/calvimora_exception.h"
#include "vfs/session.h"
#include "win/process.h"

namespace {

std::string utf8_of(const std::wstring& text) {
    std::string out;
    utf8::utf32to8(text.begin(), text.end(), std::back_inserter(out));
    return out;
}

int print_client(HMODULE module) {
    const auto first = vfs_calvimora::get_client(module);
    const auto second = vfs_calvimora::get_client(module);
    const vfs::user_info user = first->get_user_info();
    std::printf("%s|%s|%s|%s|%s|%s|%s\n", utf8_of(user.user_id).c_str(),
                utf8_of(user.access_id).c_str(), utf8_of(user.user_name).c_str(),
                utf8_of(user.language).c_str(), utf8_of(user.level).c_str(),
                first->get_transfer_host().c_str(), first == second ? "same" : "other");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const HMODULE module = GetModuleHandleW(nullptr);
    try {
        if (argc == 2 && std::strcmp(argv[1], "logged_in") == 0) {
            std::printf("%s\n", vfs_calvimora::is_logged_in(module) ? "yes" : "no");
            return 0;
        }
        if (argc == 2 && std::strcmp(argv[1], "client") == 0) {
            return print_client(module);
        }
        std::fprintf(stderr, "usage: vfs_session_helper logged_in|client\n");
        return 2;
    } catch (const vfs::exception& failure) {
        std::printf("%s: %s\n", utf8_of(failure.get_title()).c_str(),
                    utf8_of(failure.get_text()).c_str());
        return 1;
    }
}
