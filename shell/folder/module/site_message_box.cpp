#include "folder/module/site_message_box.h"

#include <vector>

#include "win/code_page.h"
#include "win/ole.h"
#include "win/process.h"
#include "win/user_dialog.h"

namespace shell_utils {

namespace {

HWND owner_of(HWND window, IUnknown* site) {
    if (!site) return window;
    IOleWindow* ole_window = nullptr;
    if (FAILED(site->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&ole_window))) ||
        !ole_window)
        return window;
    HWND site_window = nullptr;
    const HRESULT result = ole_window->GetWindow(&site_window);
    ole_window->Release();
    return SUCCEEDED(result) && site_window ? site_window : window;
}

std::string to_ansi(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    if (!out.empty()) out.pop_back();  // the NUL
    return out;
}

}  // namespace

int retry_answers::operator()(int answer) {
    if (answer != IDRETRY && answer != IDTRYAGAIN) return answer;
    if (!win_user::last_box_unattended()) return answer;
    return ++unattended_ > unattended_limit ? IDCANCEL : answer;
}

std::wstring LoadShellString(UINT id) {
    LPWSTR text = nullptr;
    const int length =
        LoadStringW(win_module::this_module(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

std::wstring FormatWithArguments(const std::wstring& format,
                                 std::initializer_list<std::wstring> arguments) {
    const std::vector<std::wstring> values(arguments);
    std::wstring out;
    size_t next = 0;
    for (size_t at = 0; at < format.size(); ++at) {
        if (format[at] != L'%' || at + 1 >= format.size()) {
            out += format[at];
            continue;
        }
        const size_t placeholder = format.compare(at, 2, L"%s") == 0    ? 2
                                   : format.compare(at, 3, L"%ls") == 0 ? 3
                                                                        : 0;
        if (format[at + 1] == L'%') {
            out += L'%';
            ++at;
        } else if (placeholder && next < values.size()) {
            out += values[next++];
            at += placeholder - 1;
        } else {
            out += format[at];
        }
    }
    return out;
}

int MessageBoxWithSite(HWND window, IUnknown* site, LPCWSTR caption, LPCWSTR text, UINT type) {
    return MessageBoxW(owner_of(window, site), text, caption, type);
}

int MessageBoxCaptionId(HWND window, IUnknown* site, UINT caption_id, LPCWSTR text, UINT type) {
    return MessageBoxWithSite(window, site, LoadShellString(caption_id).c_str(), text, type);
}

int MessageBoxFormat(HWND window, IUnknown* site, UINT caption_id, UINT format_id, LPCWSTR argument,
                     UINT type) {
    const std::wstring text =
        FormatWithArguments(LoadShellString(format_id), {argument ? argument : L""});
    return MessageBoxCaptionId(window, site, caption_id, text.c_str(), type);
}

int MessageBoxFormat2(HWND window, IUnknown* site, UINT caption_id, UINT format_id, LPCWSTR first,
                      LPCWSTR second, UINT type) {
    const std::wstring text = FormatWithArguments(LoadShellString(format_id),
                                                  {first ? first : L"", second ? second : L""});
    return MessageBoxCaptionId(window, site, caption_id, text.c_str(), type);
}

int MessageBoxAnsiCaptionId(HWND window, IUnknown* site, UINT caption_id, LPCSTR text, UINT type) {
    const std::string caption = to_ansi(LoadShellString(caption_id));
    return MessageBoxA(owner_of(window, site), text, caption.c_str(), type);
}

}  // namespace shell_utils
