#include "item_workers.h"

#include "item_transfer.h"
#include "shell_drop.h"
#include "shell_host.h"
#include "win/registry.h"
#include "win/shell_overlay.h"
#include "win/shell_thread.h"

namespace shell_host {

namespace {

constexpr const wchar_t* overlay_identifiers_key =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers";

std::wstring default_text(HKEY key) {
    wchar_t text[256];
    DWORD size = sizeof text;
    DWORD type = 0;
    if (RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return std::wstring();
    return std::wstring(text, wcsnlen(text, size / sizeof(wchar_t)));
}

HRESULT ask_one(HKEY identifiers, const std::wstring& name, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(identifiers, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    const std::wstring class_text = default_text(key);
    RegCloseKey(key);
    CLSID clsid{};
    if (FAILED(CLSIDFromString(class_text.c_str(), &clsid))) return CO_E_CLASSSTRING;
    IShellIconOverlayIdentifier* identifier = nullptr;
    HRESULT result = create_instance(clsid, IID_IShellIconOverlayIdentifier,
                                     reinterpret_cast<void**>(&identifier));
    if (FAILED(result)) return result;
    result = identifier->IsMemberOf(path.c_str(), 0);
    identifier->Release();
    return result;
}

}  // namespace

extension_workers::extension_workers() {
    if (FAILED(SHGetInstanceExplorer(&outer_))) outer_ = nullptr;
    SHSetInstanceExplorer(&reference_);
}

extension_workers::~extension_workers() {
    // A reference the host had set before comes back.
    SHSetInstanceExplorer(outer_);
    if (outer_) outer_->Release();
}

bool extension_workers::wait(std::chrono::milliseconds limit) {
    return pump_messages_until([&] { return reference_.held() == 0; }, limit);
}

HRESULT delete_items(shell_browser& browser, const std::vector<size_t>& indices,
                     std::chrono::milliseconds limit) {
    extension_workers workers;
    const HRESULT result = invoke_item_command(browser, indices, L"delete");
    if (!workers.wait(limit)) return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    return result;
}

HRESULT restore_items(shell_browser& browser, const std::vector<size_t>& indices) {
    return invoke_item_command(browser, indices, L"Restore");
}

std::vector<overlay_answer> ask_overlay_identifiers(const std::wstring& path) {
    std::vector<overlay_answer> answers;
    HKEY identifiers = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, overlay_identifiers_key, 0, KEY_READ, &identifiers) !=
        ERROR_SUCCESS)
        return answers;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(identifiers, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        answers.push_back({std::wstring(name, length), E_FAIL});
        answers.back().result = ask_one(identifiers, answers.back().name, path);
    }
    RegCloseKey(identifiers);
    return answers;
}

}  // namespace shell_host
