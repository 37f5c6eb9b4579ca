// A second process for the cross-process tests of the registry, the shell
// notification journal and the message-box journal. It inherits the test's
// machine root through the environment.
//
//   services_helper set-string NAME TEXT     HKCU\Software\Calvimora NAME := TEXT
//   services_helper expect-string NAME TEXT  exit 0 when the value reads TEXT
//   services_helper count-forever            rewrite "Counter" and "Blob" until killed
//   services_helper notify PATH              SHChangeNotify(UPDATEDIR, PATHW) of PATH
//   services_helper message-box TEXT CAPTION exit with the answer to a Yes/No box
#include <string>
#include <vector>

#include <utf8.h>

#include "win/registry.h"
#include "win/shell.h"
#include "win/user.h"

namespace {

std::wstring wide(const char* text) {
    const std::string narrow(text);
    std::wstring out;
    utf8::utf8to32(narrow.begin(), narrow.end(), std::back_inserter(out));
    return out;
}

HKEY product_key() {
    HKEY key = nullptr;
    return RegCreateKeyW(HKEY_CURRENT_USER, L"Software\\Calvimora", &key) == ERROR_SUCCESS
               ? key
               : nullptr;
}

int set_string(const char* name, const char* text) {
    HKEY key = product_key();
    if (!key) return 1;
    const std::wstring value = wide(text);
    const LONG status = RegSetValueExW(key, wide(name).c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 1;
}

int expect_string(const char* name, const char* text) {
    HKEY key = product_key();
    if (!key) return 1;
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, wide(name).c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ && wide(text) == buffer ? 0 : 1;
}

// Each round writes the counter and then a blob whose every byte is the
// counter's low byte, so a reader can tell the two apart in time.
int count_forever() {
    HKEY key = product_key();
    if (!key) return 1;
    std::vector<BYTE> blob(64 * 1024);
    for (DWORD round = 1;; ++round) {
        if (RegSetValueExW(key, L"Counter", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&round),
                           sizeof round) != ERROR_SUCCESS)
            return 1;
        blob.assign(blob.size(), static_cast<BYTE>(round));
        if (RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob.data(),
                           static_cast<DWORD>(blob.size())) != ERROR_SUCCESS)
            return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "set-string" && argc == 4) return set_string(argv[2], argv[3]);
    if (command == "expect-string" && argc == 4) return expect_string(argv[2], argv[3]);
    if (command == "count-forever") return count_forever();
    if (command == "notify" && argc == 3) {
        const std::wstring path = wide(argv[2]);
        SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH, path.c_str(), nullptr);
        return 0;
    }
    if (command == "message-box" && argc == 4)
        return MessageBoxW(nullptr, wide(argv[2]).c_str(), wide(argv[3]).c_str(),
                           MB_YESNO | MB_DEFBUTTON2);
    return 2;
}
