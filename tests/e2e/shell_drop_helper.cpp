// A shell host of its own process for the drop tests that kill it half-way
// or leave its boxes to their default answers. It loads the extension
// through the registry of the test's machine root, which it inherits, and
// drops onto a folder at the top of the remote storage:
//
//   shell_drop_helper put FOLDER LOCAL_PATH      drops a local file (boxes
//                                                take their default answers)
//   shell_drop_helper copy FROM NAME TO          drags item NAME of folder FROM
//                                                onto folder TO (Yes to questions)
//   shell_drop_helper pose SELECTION_FILE        puts on the clipboard, flushed,
//                                                an object of this process that
//                                                offers the extension's mark, the
//                                                selection block in the file and
//                                                a descriptor of "kept.txt"
//
// Prints "dropped" with the result and effect when the drop ends.
#include <utf8.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "shell_browser.h"
#include "shell_drop.h"
#include "shell_host.h"
#include "utils/class_ids.h"
#include "win/clipboard.h"
#include "win/data_object.h"
#include "win/global_memory.h"
#include "win/shell_dragdrop.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

// The index of the listed item of that name.
int index_of(const shell_host::shell_browser& browser, const std::wstring& name) {
    for (size_t i = 0; i < browser.items().size(); ++i)
        if (browser.items()[i].name == name) return static_cast<int>(i);
    return -1;
}

IDropTarget* target_named(shell_host::shell_browser& browser, const std::wstring& name) {
    const int index = index_of(browser, name);
    if (index < 0) return nullptr;
    return shell_host::drop_target_of(browser.folder(), browser.items()[index].id);
}

// The extension's data object over one item of the current folder.
IDataObject* data_object_of(shell_host::shell_browser& browser, const std::wstring& name) {
    const int index = index_of(browser, name);
    if (index < 0) return nullptr;
    PCUITEMID_CHILD id = browser.items()[index].id;
    void* data = nullptr;
    if (FAILED(browser.folder()->GetUIObjectOf(nullptr, 1, &id, IID_IDataObject, nullptr, &data)))
        return nullptr;
    return static_cast<IDataObject*>(data);
}

int report(const shell_host::drop_outcome& outcome) {
    std::printf("dropped 0x%08X effect %lu\n", static_cast<unsigned>(outcome.result),
                static_cast<unsigned long>(outcome.effect));
    std::fflush(stdout);
    return 0;
}

int put(shell_host::shell_browser& browser, const std::wstring& folder, const std::wstring& path) {
    IDropTarget* target = target_named(browser, folder);
    if (!target) return 3;
    const shell_host::drop_outcome outcome =
        shell_host::drop_local_files(target, {path}, false, false);
    target->Release();
    return report(outcome);
}

int copy(shell_host::shell_browser& browser, const std::wstring& from, const std::wstring& name,
         const std::wstring& to) {
    const int source = index_of(browser, from);
    if (source < 0 || FAILED(browser.enter(static_cast<size_t>(source)))) return 3;
    IDataObject* data = data_object_of(browser, name);
    if (!data || FAILED(browser.up())) return 3;
    IDropTarget* target = target_named(browser, to);
    if (!target) return 3;
    win_test::scoped_message_box_responder yes(
        [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    const shell_host::drop_outcome outcome = shell_host::drop_data_object(target, data, false);
    target->Release();
    data->Release();
    return report(outcome);
}

// Another program's object: blocks of global memory under the names it
// chooses, which may well be the extension's own.
class posing_object final : public IDataObject, public IEnumFORMATETC {
public:
    void offer(const wchar_t* format, std::string bytes) {
        blocks_.emplace_back(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(format)),
                             std::move(bytes));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDataObject)
            *object = static_cast<IDataObject*>(this);
        else if (iid == IID_IEnumFORMATETC)
            *object = static_cast<IEnumFORMATETC*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        *medium = STGMEDIUM{};
        for (const auto& [name, bytes] : blocks_) {
            if (name != format->cfFormat || !(format->tymed & TYMED_HGLOBAL)) continue;
            HGLOBAL block = GlobalAlloc(GHND, bytes.size());
            std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
            GlobalUnlock(block);
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = block;
            return S_OK;
        }
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        for (const auto& block : blocks_)
            if (block.first == format->cfFormat) return S_OK;
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override {
        if (direction != DATADIR_GET) return E_NOTIMPL;
        listed_ = 0;
        AddRef();
        *formats = this;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, FORMATETC* formats, ULONG* fetched) override {
        ULONG given = 0;
        for (; given < wanted && listed_ < blocks_.size(); ++given, ++listed_)
            formats[given] = {blocks_[listed_].first, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        if (fetched) *fetched = given;
        return given == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override {
        listed_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

private:
    ~posing_object() = default;
    std::vector<std::pair<CLIPFORMAT, std::string>> blocks_;
    size_t listed_ = 0;
    std::atomic<ULONG> references_{1};
};

int pose(const char* selection_file) {
    std::ifstream file(selection_file, std::ios::binary);
    std::stringstream selection;
    selection << file.rdbuf();
    if (!file) return 3;
    auto* object = new posing_object;
    const DWORD mark = 1;
    object->offer(L"Calvimora_DataObject", std::string(reinterpret_cast<const char*>(&mark), 4));
    object->offer(CFSTR_SHELLIDLIST, selection.str());
    FILEDESCRIPTORW descriptor{};
    win_shell::set_file_descriptor_name(descriptor, L"kept.txt");
    const UINT count = 1;
    std::string descriptors(reinterpret_cast<const char*>(&count), 4);
    descriptors.append(reinterpret_cast<const char*>(&descriptor), sizeof descriptor);
    object->offer(CFSTR_FILEDESCRIPTORW, descriptors);
    HRESULT result = OleSetClipboard(object);
    object->Release();
    if (SUCCEEDED(result)) result = OleFlushClipboard();
    std::printf("posed 0x%08X\n", static_cast<unsigned>(result));
    return SUCCEEDED(result) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool is_put = argc == 4 && std::strcmp(argv[1], "put") == 0;
    const bool is_copy = argc == 5 && std::strcmp(argv[1], "copy") == 0;
    const bool is_pose = argc == 3 && std::strcmp(argv[1], "pose") == 0;
    if (!is_put && !is_copy && !is_pose) {
        std::fprintf(stderr,
                     "usage: shell_drop_helper put FOLDER PATH | copy FROM NAME TO | pose FILE\n");
        return 2;
    }
    shell_host::com_apartment apartment;
    if (is_pose) return pose(argv[2]);
    int status = 1;
    {
        shell_host::shell_browser browser;
        if (FAILED(browser.open(utils::clsid_calvimora_folder)) || FAILED(browser.list())) return 1;
        const auto argument = [&](int i) {
            std::wstring wide;
            utf8::utf8to32(argv[i], argv[i] + std::strlen(argv[i]), std::back_inserter(wide));
            return wide;
        };
        status = is_put ? put(browser, argument(2), argument(3))
                        : copy(browser, argument(2), argument(3), argument(4));
    }
    shell_host::unload_unused_servers();
    return status;
}
