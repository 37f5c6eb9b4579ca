#include "folder/module/module.h"

#include "folder/module/type_library.h"
#include "utils/class_ids.h"
#include "win/locale.h"

namespace {

const wchar_t* const format_names[CCalvimoraModule::format_count] = {
    L"Shell IDList Array",
    L"FileContents",
    L"Paste Succeeded",
    L"FileGroupDescriptorW",
    L"Performed DropEffect",
    L"Preferred DropEffect",
    L"Logical Performed DropEffect",
    L"OleClipboardPersistOnFlush",
    L"Calvimora_DataObject",
    L"TargetCLSID",
};

// Sets the thread's locale for its life and restores the one before.
class scoped_thread_locale {
public:
    explicit scoped_thread_locale(LCID locale) : saved_(GetThreadLocale()) {
        SetThreadLocale(locale);
    }
    ~scoped_thread_locale() { SetThreadLocale(saved_); }
    scoped_thread_locale(const scoped_thread_locale&) = delete;
    scoped_thread_locale& operator=(const scoped_thread_locale&) = delete;

private:
    LCID saved_;
};

std::wstring module_path(HMODULE module) {
    wchar_t path[4 * MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, 4 * MAX_PATH);
    return length && length < 4 * MAX_PATH ? std::wstring(path, length) : std::wstring();
}

}  // namespace

CCalvimoraModule::CCalvimoraModule(HMODULE module) : CAtlDllModuleT(module) {
    for (int i = 0; i < format_count; ++i)
        formats_[i] = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(format_names[i]));
}

HRESULT CCalvimoraModule::AddCommonRGSReplacements(CRegObject& registrar) {
    wchar_t app_id[40];
    StringFromGUID2(utils::appid_calvimora, app_id, 40);
    return registrar.AddReplacement(L"APPID", app_id);
}

HRESULT CCalvimoraModule::DllRegisterServer() {
    scoped_thread_locale system_locale(LOCALE_SYSTEM_DEFAULT);
    HRESULT result = UpdateRegistryFromResource(IDR_APPID, TRUE);
    if (FAILED(result)) return result;
    result = RegisterServer();
    if (FAILED(result)) return result;
    const std::wstring path = module_path(m_hInst);
    if (path.empty()) return E_FAIL;
    return win_atl::register_type_library(calvimora_type_library(), path);
}

HRESULT CCalvimoraModule::DllUnregisterServer() {
    scoped_thread_locale system_locale(LOCALE_SYSTEM_DEFAULT);
    HRESULT result = UnregisterServer();
    if (SUCCEEDED(result)) result = win_atl::unregister_type_library(calvimora_type_library());
    if (FAILED(result)) return result;
    return UpdateRegistryFromResource(IDR_APPID, FALSE);
}

CCalvimoraModule& calvimora_module() {
    return *static_cast<CCalvimoraModule*>(win_atl::current_module);
}
