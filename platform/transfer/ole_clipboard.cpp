// The OLE clipboard of the log-on session: a process's object while it is
// set, or what remains of it after a flush (its saved form, or copies of its
// global-memory formats), which every process of the session can paste.
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>

#include <unistd.h>

#include "com/counted_object.h"
#include "ole_clipboard_store.h"
#include "win/clipboard.h"
#include "win/data_object.h"
#include "win/persist.h"
#include "win/shell_dragdrop.h"

namespace {

struct rendered_format {
    FORMATETC format;
    HGLOBAL memory;
};

// Enumerates a fixed list of formats.
class format_list_enumerator final
    : public win_platform::counted_object<IEnumFORMATETC, IID_IEnumFORMATETC> {
public:
    explicit format_list_enumerator(std::vector<FORMATETC> formats)
        : formats_(std::move(formats)) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) override {
        if (!formats || (!fetched && count != 1)) return E_POINTER;
        ULONG copied = 0;
        while (copied < count && position_ < formats_.size())
            formats[copied++] = formats_[position_++];
        if (fetched) *fetched = copied;
        return copied == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const size_t left = formats_.size() - position_;
        position_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) override {
        if (!copy) return E_POINTER;
        auto* clone = new format_list_enumerator(formats_);
        clone->position_ = position_;
        *copy = clone;
        return S_OK;
    }

private:
    ~format_list_enumerator() = default;
    std::vector<FORMATETC> formats_;
    size_t position_ = 0;
};

// The global-memory formats of a flushed object, read-only.
class rendered_data_object final
    : public win_platform::counted_object<IDataObject, IID_IDataObject> {
public:
    explicit rendered_data_object(std::vector<rendered_format> formats)
        : formats_(std::move(formats)) {}

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_POINTER;
        std::memset(medium, 0, sizeof *medium);
        const rendered_format* found = find(*format);
        if (!found) return DV_E_FORMATETC;
        medium->hGlobal = OleDuplicateData(found->memory, format->cfFormat, 0);
        if (!medium->hGlobal) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format) return E_POINTER;
        return find(*format) ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (direction != DATADIR_GET) return E_NOTIMPL;
        std::vector<FORMATETC> list;
        for (const rendered_format& entry : formats_) list.push_back(entry.format);
        *out = new format_list_enumerator(std::move(list));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    ~rendered_data_object() {
        for (rendered_format& entry : formats_) GlobalFree(entry.memory);
    }
    const rendered_format* find(const FORMATETC& format) const {
        if (!(format.tymed & TYMED_HGLOBAL)) return nullptr;
        for (const rendered_format& entry : formats_)
            if (entry.format.cfFormat == format.cfFormat && entry.format.lindex == format.lindex)
                return &entry;
        return nullptr;
    }

    std::vector<rendered_format> formats_;
};

// This process's part of the session's clipboard: the object it set, for
// as long as the session's record names that setting.
struct clipboard_state {
    std::mutex lock;
    IDataObject* current = nullptr;
    uint64_t setting = 0;

    bool names_ours(const win_ole::clipboard_record& record) const {
        return record.kind == win_ole::clipboard_record::state::held &&
               record.holder == static_cast<int32_t>(getpid()) && record.setting == setting;
    }
};

clipboard_state& the_clipboard() {
    static auto* state = new clipboard_state;  // used until the process ends
    return *state;
}

bool offers_persistence(IDataObject* object) {
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PERSISTEDDATAOBJECT)),
                     nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return object->QueryGetData(&format) == S_OK;
}

// The object's saved form: its class and the bytes of its Save.
bool save_object(IDataObject* object, CLSID& clsid, std::vector<uint8_t>& bytes) {
    IPersistStream* persist = nullptr;
    if (FAILED(object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist))))
        return false;
    IStream* stream = nullptr;
    bool saved = SUCCEEDED(persist->GetClassID(&clsid)) &&
                 SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
                 SUCCEEDED(persist->Save(stream, TRUE));
    persist->Release();
    if (saved) {
        HGLOBAL memory = nullptr;
        STATSTG statistics{};
        saved = SUCCEEDED(GetHGlobalFromStream(stream, &memory)) &&
                SUCCEEDED(stream->Stat(&statistics, STATFLAG_NONAME));
        if (saved) {
            const auto* data = static_cast<const BYTE*>(GlobalLock(memory));
            const auto size = static_cast<size_t>(statistics.cbSize.QuadPart);
            bytes.assign(data, data + (data ? size : 0));
            GlobalUnlock(memory);
        }
    }
    if (stream) stream->Release();
    return saved;
}

// Copies of the object's global-memory formats (for no target device),
// registered formats by name.
std::vector<win_ole::stored_format> render_formats(IDataObject* object) {
    std::vector<win_ole::stored_format> formats;
    IEnumFORMATETC* enumerator = nullptr;
    if (FAILED(object->EnumFormatEtc(DATADIR_GET, &enumerator)) || !enumerator) return formats;
    FORMATETC format{};
    while (enumerator->Next(1, &format, nullptr) == S_OK) {
        if (!(format.tymed & TYMED_HGLOBAL) || format.ptd) continue;
        FORMATETC wanted = format;
        wanted.tymed = TYMED_HGLOBAL;
        STGMEDIUM medium{};
        if (FAILED(object->GetData(&wanted, &medium))) continue;
        if (medium.tymed == TYMED_HGLOBAL) {
            win_ole::stored_format stored;
            if (wanted.cfFormat >= 0xC000) {
                wchar_t name[256] = {};
                if (GetClipboardFormatNameW(wanted.cfFormat, name, 256) > 0) stored.name = name;
            } else {
                stored.number = wanted.cfFormat;
            }
            stored.aspect = wanted.dwAspect;
            stored.lindex = wanted.lindex;
            const auto* data = static_cast<const uint8_t*>(GlobalLock(medium.hGlobal));
            if (data) stored.bytes.assign(data, data + GlobalSize(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
            if (data && (stored.number || !stored.name.empty()))
                formats.push_back(std::move(stored));
        }
        ReleaseStgMedium(&medium);
    }
    enumerator->Release();
    return formats;
}

// What a flush left, as an object of this process.
IDataObject* rendered_from(const win_ole::clipboard_record& record) {
    std::vector<rendered_format> formats;
    for (const win_ole::stored_format& stored : record.formats) {
        const auto number = static_cast<CLIPFORMAT>(
            stored.number ? stored.number : RegisterClipboardFormatW(stored.name.c_str()));
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, stored.bytes.size());
        if (!number || !memory) {
            if (memory) GlobalFree(memory);
            continue;
        }
        if (!stored.bytes.empty())
            std::memcpy(GlobalLock(memory), stored.bytes.data(), stored.bytes.size());
        GlobalUnlock(memory);
        formats.push_back({{number, nullptr, stored.aspect, stored.lindex, TYMED_HGLOBAL}, memory});
    }
    return new rendered_data_object(std::move(formats));
}

HRESULT rebuild_object(const CLSID& clsid, const std::vector<uint8_t>& bytes, IDataObject** out) {
    IPersistStream* persist = nullptr;
    HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStream,
                                      reinterpret_cast<void**>(&persist));
    if (FAILED(result)) return result;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    IStream* stream = nullptr;
    if (!memory) {
        result = E_OUTOFMEMORY;
    } else {
        if (!bytes.empty()) std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        result = CreateStreamOnHGlobal(memory, TRUE, &stream);
        if (FAILED(result)) GlobalFree(memory);
    }
    if (SUCCEEDED(result)) result = persist->Load(stream);
    if (SUCCEEDED(result))
        result = persist->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(out));
    if (stream) stream->Release();
    persist->Release();
    return result;
}

}  // namespace

HRESULT OleSetClipboard(IDataObject* object) {
    clipboard_state& clipboard = the_clipboard();
    if (object) object->AddRef();
    win_ole::clipboard_record record;
    std::unique_lock<std::mutex> guard(clipboard.lock);
    IDataObject* before = clipboard.current;
    clipboard.current = object;
    ++clipboard.setting;
    if (object) {
        record.kind = win_ole::clipboard_record::state::held;
        record.holder = static_cast<int32_t>(getpid());
        record.setting = clipboard.setting;
    }
    win_ole::write_session_clipboard(record);
    guard.unlock();
    // Released outside the lock: an object's destructor may use the clipboard.
    if (before) before->Release();
    return S_OK;
}

HRESULT OleGetClipboard(IDataObject** object) {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    clipboard_state& clipboard = the_clipboard();
    const win_ole::clipboard_record record = win_ole::read_session_clipboard();
    std::unique_lock<std::mutex> guard(clipboard.lock);
    IDataObject* replaced = nullptr;
    if (clipboard.current && !clipboard.names_ours(record)) std::swap(replaced, clipboard.current);
    if (clipboard.current) {
        clipboard.current->AddRef();
        *object = clipboard.current;
        return S_OK;
    }
    guard.unlock();
    if (replaced) replaced->Release();
    // Another process's live object cannot be reached from here: what it set
    // is available only once flushed (the stricter reading).
    if (record.kind != win_ole::clipboard_record::state::flushed) return CLIPBRD_E_CANT_OPEN;
    if (record.persisted && SUCCEEDED(rebuild_object(record.saved_class, record.saved, object)))
        return S_OK;
    *object = rendered_from(record);
    return S_OK;
}

HRESULT OleFlushClipboard() {
    clipboard_state& clipboard = the_clipboard();
    const win_ole::clipboard_record before = win_ole::read_session_clipboard();
    std::unique_lock<std::mutex> guard(clipboard.lock);
    IDataObject* object = clipboard.current;
    clipboard.current = nullptr;
    const bool ours = clipboard.names_ours(before);
    guard.unlock();
    if (!object) return S_OK;
    if (ours) {
        win_ole::clipboard_record record;
        record.kind = win_ole::clipboard_record::state::flushed;
        record.persisted =
            offers_persistence(object) && save_object(object, record.saved_class, record.saved);
        record.formats = render_formats(object);
        win_ole::write_session_clipboard(record);
    }
    object->Release();
    return S_OK;
}

HRESULT OleIsCurrentClipboard(IDataObject* object) {
    clipboard_state& clipboard = the_clipboard();
    const win_ole::clipboard_record record = win_ole::read_session_clipboard();
    std::lock_guard<std::mutex> guard(clipboard.lock);
    return object && object == clipboard.current && clipboard.names_ours(record) ? S_OK : S_FALSE;
}
