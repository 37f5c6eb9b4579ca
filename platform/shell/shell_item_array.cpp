// Shell items over a folder's item ids, and the array of them that a
// command bar hands its commands as the selection.
#include <atomic>
#include <vector>

#include "com/counted_object.h"
#include "win/shell_command.h"
#include "win/shell_folder2.h"

namespace {

// What a shell item name form asks of the folder; false for forms the
// stand-in's folders cannot give.
bool name_flags(SIGDN form, SHGDNF* flags) {
    switch (form) {
        case SIGDN_NORMALDISPLAY:
            *flags = SHGDN_NORMAL;
            return true;
        case SIGDN_PARENTRELATIVEPARSING:
            *flags = SHGDN_INFOLDER | SHGDN_FORPARSING;
            return true;
        case SIGDN_DESKTOPABSOLUTEPARSING:
        case SIGDN_FILESYSPATH:
            *flags = SHGDN_FORPARSING;
            return true;
        case SIGDN_PARENTRELATIVEEDITING:
            *flags = SHGDN_INFOLDER | SHGDN_FOREDITING;
            return true;
        case SIGDN_DESKTOPABSOLUTEEDITING:
            *flags = SHGDN_FOREDITING;
            return true;
        case SIGDN_PARENTRELATIVEFORADDRESSBAR:
            *flags = SHGDN_INFOLDER | SHGDN_FORADDRESSBAR;
            return true;
        case SIGDN_PARENTRELATIVE:
            *flags = SHGDN_INFOLDER;
            return true;
        default:
            return false;
    }
}

// The asked attributes of the items as the folder reports them; S_FALSE
// when not every asked one is set.
HRESULT folder_attributes(IShellFolder* folder, UINT count, PCUITEMID_CHILD_ARRAY items,
                          SFGAOF mask, SFGAOF* attributes) {
    if (!attributes) return E_POINTER;
    SFGAOF found = mask;
    const HRESULT result = folder->GetAttributesOf(count, items, &found);
    if (FAILED(result)) {
        *attributes = 0;
        return result;
    }
    *attributes = found & mask;
    return *attributes == mask ? S_OK : S_FALSE;
}

class shell_item final : public IShellItem, public IPersistIDList {
public:
    shell_item(PCIDLIST_ABSOLUTE parent, IShellFolder* folder, PCUITEMID_CHILD child)
        : parent_(ILClone(parent)), folder_(folder), child_(ILClone(child)) {
        folder_->AddRef();
    }
    bool valid() const { return parent_ && child_; }
    PCUITEMID_CHILD child() const { return child_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IShellItem)
            *object = static_cast<IShellItem*>(this);
        else if (iid == IID_IPersistIDList || iid == IID_IPersist)
            *object = static_cast<IPersistIDList*>(this);
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

    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx* context, REFGUID handler, REFIID iid,
                                            void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (handler == BHID_SFObject) return folder_->BindToObject(child_, context, iid, object);
        if (handler == BHID_DataObject) {
            PCUITEMID_CHILD items[] = {child_};
            return folder_->GetUIObjectOf(nullptr, 1, items, iid, nullptr, object);
        }
        return MK_E_NOOBJECT;
    }
    // The stand-in keeps no folder of the parent to make an item of.
    HRESULT STDMETHODCALLTYPE GetParent(IShellItem** parent) override {
        if (!parent) return E_POINTER;
        *parent = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN form, LPWSTR* name) override {
        if (!name) return E_POINTER;
        *name = nullptr;
        SHGDNF flags = 0;
        if (!name_flags(form, &flags)) return E_INVALIDARG;
        if (form == SIGDN_FILESYSPATH) {
            SFGAOF file_system = 0;
            if (GetAttributes(SFGAO_FILESYSTEM, &file_system) != S_OK) return E_INVALIDARG;
        }
        STRRET text{};
        const HRESULT result = folder_->GetDisplayNameOf(child_, flags, &text);
        if (FAILED(result)) return result;
        return StrRetToStrW(&text, child_, name);
    }
    HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF mask, SFGAOF* attributes) override {
        PCUITEMID_CHILD items[] = {child_};
        return folder_attributes(folder_, 1, items, mask, attributes);
    }
    HRESULT STDMETHODCALLTYPE Compare(IShellItem*, SICHINTF, int* order) override {
        if (order) *order = 0;
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = GUID_NULL;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* list) override {
        if (!list) return E_POINTER;
        *list = ILCombine(parent_, child_);
        return *list ? S_OK : E_OUTOFMEMORY;
    }

private:
    ~shell_item() {
        folder_->Release();
        ILFree(parent_);
        ILFree(child_);
    }

    std::atomic<ULONG> references_{1};
    PIDLIST_ABSOLUTE parent_;
    IShellFolder* folder_;
    PITEMID_CHILD child_;
};

class shell_item_array final
    : public win_platform::counted_object<IShellItemArray, IID_IShellItemArray> {
public:
    shell_item_array(IShellFolder* folder, std::vector<shell_item*> items,
                     std::vector<PCUITEMID_CHILD> children)
        : folder_(folder), items_(std::move(items)), children_(std::move(children)) {
        folder_->AddRef();
    }

    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID handler, REFIID iid,
                                            void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (handler != BHID_DataObject) return MK_E_NOOBJECT;
        return folder_->GetUIObjectOf(nullptr, static_cast<UINT>(children_.size()),
                                      children_.data(), iid, nullptr, object);
    }
    HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID,
                                               void** store) override {
        if (store) *store = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY, REFIID,
                                                         void** list) override {
        if (list) *list = nullptr;
        return E_NOTIMPL;
    }
    // AND: what every item has, as the folder reports it for them all; OR:
    // what any item has.
    HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS how, SFGAOF mask,
                                            SFGAOF* attributes) override {
        if (!attributes) return E_POINTER;
        if (how == SIATTRIBFLAGS_AND)
            return folder_attributes(folder_, static_cast<UINT>(children_.size()), children_.data(),
                                     mask, attributes);
        if (how != SIATTRIBFLAGS_OR) {
            *attributes = 0;
            return E_INVALIDARG;
        }
        SFGAOF any = 0;
        for (PCUITEMID_CHILD child : children_) {
            SFGAOF one = 0;
            const HRESULT result = folder_attributes(folder_, 1, &child, mask, &one);
            if (FAILED(result)) {
                *attributes = 0;
                return result;
            }
            any |= one;
        }
        *attributes = any;
        return any == mask ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override {
        if (!count) return E_POINTER;
        *count = static_cast<DWORD>(items_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD index, IShellItem** item) override {
        if (!item) return E_POINTER;
        *item = nullptr;
        if (index >= items_.size()) return E_INVALIDARG;
        items_[index]->AddRef();
        *item = items_[index];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems** items) override {
        if (items) *items = nullptr;
        return E_NOTIMPL;
    }

private:
    ~shell_item_array() override {
        for (shell_item* item : items_) item->Release();
        folder_->Release();
    }

    IShellFolder* folder_;
    std::vector<shell_item*> items_;
    // The ids the items hold, for the folder's calls on all of them.
    std::vector<PCUITEMID_CHILD> children_;
};

}  // namespace

HRESULT SHCreateShellItemArray(PCIDLIST_ABSOLUTE parent, IShellFolder* folder, UINT count,
                               PCUITEMID_CHILD_ARRAY items, IShellItemArray** array) {
    if (!array) return E_INVALIDARG;
    *array = nullptr;
    if (!parent || count == 0 || !items) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        if (!items[i]) return E_INVALIDARG;
    IShellFolder* bound = folder;
    if (bound) {
        bound->AddRef();
    } else {
        IShellFolder* desktop = nullptr;
        HRESULT result = SHGetDesktopFolder(&desktop);
        if (FAILED(result)) return result;
        result = desktop->BindToObject(parent, nullptr, IID_IShellFolder,
                                       reinterpret_cast<void**>(&bound));
        desktop->Release();
        if (FAILED(result)) return result;
    }
    std::vector<shell_item*> made;
    std::vector<PCUITEMID_CHILD> children;
    for (UINT i = 0; i < count; ++i) {
        auto* item = new shell_item(parent, bound, items[i]);
        made.push_back(item);
        if (!item->valid()) {
            for (shell_item* done : made) done->Release();
            bound->Release();
            return E_OUTOFMEMORY;
        }
        // The array calls the folder with the ids its items own, so they
        // live exactly as long as it does.
        children.push_back(item->child());
    }
    *array = new shell_item_array(bound, std::move(made), std::move(children));
    bound->Release();
    return S_OK;
}
