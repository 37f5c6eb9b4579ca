// A second process for the cross-process tests of the registry, the shell
// notification journal and the message-box journal. It inherits the test's
// machine root through the environment.
//
//   services_helper set-string NAME TEXT     HKCU\Software\Calvimora NAME := TEXT
//   services_helper expect-string NAME TEXT  exit 0 when the value reads TEXT
//   services_helper count-forever            rewrite "Counter" and "Blob" until killed
//   services_helper notify PATH              SHChangeNotify(UPDATEDIR, PATHW) of PATH
//   services_helper message-box TEXT CAPTION exit with the answer to a Yes/No box
//   services_helper clipboard-value FORMAT   exit with the DWORD of the clipboard's
//                                            FORMAT, 100 when the clipboard is empty
//   services_helper clipboard-set FORMAT N [flush]  put a DWORD N of FORMAT on the
//                                            clipboard, flushed or not, and end
#include <cstring>
#include <string>
#include <vector>

#include <utf8.h>

#include "transfer/tests/one_format_enumerator.h"
#include "win/clipboard.h"
#include "win/data_object.h"
#include "win/global_memory.h"
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

// Offers one DWORD in one format.
class dword_data_object final : public win_platform::counted_object<IDataObject, IID_IDataObject> {
public:
    dword_data_object(CLIPFORMAT format, DWORD value) : format_(format), value_(value) {}
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        *medium = STGMEDIUM{};
        if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = GlobalAlloc(GHND, sizeof value_);
        std::memcpy(GlobalLock(medium->hGlobal), &value_, sizeof value_);
        GlobalUnlock(medium->hGlobal);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return format->cfFormat == format_ && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                              : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** formats) override {
        *formats = new clipboard_testing::one_format_enumerator(format_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    CLIPFORMAT format_;
    DWORD value_;
};

int clipboard_value(const char* name) {
    IDataObject* object = nullptr;
    if (OleGetClipboard(&object) != S_OK) return 100;
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(wide(name).c_str())), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    DWORD value = 101;
    if (object->GetData(&format, &medium) == S_OK && GlobalSize(medium.hGlobal) >= sizeof value) {
        std::memcpy(&value, GlobalLock(medium.hGlobal), sizeof value);
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
    }
    object->Release();
    return static_cast<int>(value);
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
    if (command == "clipboard-value" && argc == 3) return clipboard_value(argv[2]);
    if (command == "clipboard-set" && (argc == 4 || argc == 5)) {
        const auto format =
            static_cast<CLIPFORMAT>(RegisterClipboardFormatW(wide(argv[2]).c_str()));
        auto* object = new dword_data_object(format, static_cast<DWORD>(std::stoul(argv[3])));
        OleSetClipboard(object);
        object->Release();
        if (argc == 5) OleFlushClipboard();
        return 0;
    }
    return 2;
}
