// Shell item arrays over a folder's item ids: what commands of a folder's
// command bar see of the selection.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "win/shell_command.h"
#include "win/shell_folder2.h"
#include "win/shell_info.h"

namespace {

// One element holding a name's characters; a name ending in "/" is a
// folder.
LPITEMIDLIST element(const std::string& name) {
    const USHORT size = static_cast<USHORT>(sizeof(USHORT) + name.size());
    auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(size + sizeof(USHORT)));
    std::memcpy(bytes, &size, sizeof size);
    std::memcpy(bytes + sizeof size, name.data(), name.size());
    std::memset(bytes + size, 0, sizeof(USHORT));
    return reinterpret_cast<LPITEMIDLIST>(bytes);
}

std::string name_of(PCUITEMID_CHILD id) {
    USHORT size = 0;
    std::memcpy(&size, id, sizeof size);
    const auto* bytes = reinterpret_cast<const char*>(id);
    return std::string(bytes + sizeof size, bytes + size);
}

// A folder that records what it is asked for its items.
class recording_folder final : public IShellFolder {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IShellFolder) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, LPBC, LPWSTR, ULONG*, PIDLIST_RELATIVE*,
                                               ULONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, DWORD, IEnumIDList**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE list, LPBC, REFIID iid,
                                           void** object) override {
        bound.push_back(name_of(list));
        return QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, LPBC, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
    // Every item can be copied; names ending in "/" are folders. The asked
    // attributes are ANDed over the items, as folders answer.
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY lists,
                                              SFGAOF* attributes) override {
        for (UINT i = 0; i < count; ++i) {
            const std::string name = name_of(lists[i]);
            const SFGAOF has = SFGAO_CANCOPY | (name.back() == '/' ? SFGAO_FOLDER : 0u);
            *attributes &= has;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT count, PCUITEMID_CHILD_ARRAY lists, REFIID,
                                            UINT*, void** object) override {
        std::vector<std::string> names;
        for (UINT i = 0; i < count; ++i) names.push_back(name_of(lists[i]));
        data_objects.push_back(names);
        *object = nullptr;
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags,
                                               STRRET* name) override {
        const std::string text = name_of(list);
        const std::wstring shown = std::wstring(flags & SHGDN_FORPARSING ? L"parsed:" : L"") +
                                   std::wstring(text.begin(), text.end()) +
                                   (flags & SHGDN_INFOLDER ? L"" : L"@top");
        name->uType = STRRET_WSTR;
        return SHStrDupW(shown.c_str(), &name->pOleStr);
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                        PITEMID_CHILD*) override {
        return E_NOTIMPL;
    }

    ULONG references = 1;
    std::vector<std::string> bound;
    std::vector<std::vector<std::string>> data_objects;
};

class ShellItemArray : public ::testing::Test {
protected:
    ShellItemArray() : parent(element("root")), song(element("song.mp3")), docs(element("docs/")) {}
    ~ShellItemArray() override {
        ILFree(parent);
        ILFree(song);
        ILFree(docs);
    }

    recording_folder folder;
    LPITEMIDLIST parent;
    LPITEMIDLIST song;
    LPITEMIDLIST docs;
};

std::wstring taken(LPWSTR text) {
    std::wstring copy = text ? text : L"";
    CoTaskMemFree(text);
    return copy;
}

TEST_F(ShellItemArray, ItemsNameThemselvesAndAnswerForTheirAttributes) {
    PCUITEMID_CHILD ids[] = {song, docs};
    IShellItemArray* array = nullptr;
    ASSERT_EQ(SHCreateShellItemArray(parent, &folder, 2, ids, &array), S_OK);
    DWORD count = 0;
    ASSERT_EQ(array->GetCount(&count), S_OK);
    EXPECT_EQ(count, 2u);
    IShellItem* item = nullptr;
    EXPECT_EQ(array->GetItemAt(2, &item), E_INVALIDARG);
    EXPECT_EQ(item, nullptr);
    ASSERT_EQ(array->GetItemAt(0, &item), S_OK);

    LPWSTR text = nullptr;
    ASSERT_EQ(item->GetDisplayName(SIGDN_PARENTRELATIVEPARSING, &text), S_OK);
    EXPECT_EQ(taken(text), L"parsed:song.mp3");
    ASSERT_EQ(item->GetDisplayName(SIGDN_NORMALDISPLAY, &text), S_OK);
    EXPECT_EQ(taken(text), L"song.mp3@top");
    // Not a file of the file system: no path.
    EXPECT_EQ(item->GetDisplayName(SIGDN_FILESYSPATH, &text), E_INVALIDARG);
    EXPECT_EQ(text, nullptr);

    // Not all asked attributes: S_FALSE with those that are set.
    SFGAOF attributes = 0;
    EXPECT_EQ(item->GetAttributes(SFGAO_FOLDER | SFGAO_CANCOPY, &attributes), S_FALSE);
    EXPECT_EQ(attributes, SFGAO_CANCOPY);
    EXPECT_EQ(item->GetAttributes(SFGAO_CANCOPY, &attributes), S_OK);

    // The item's absolute list is the parent's followed by its id.
    PIDLIST_ABSOLUTE whole = nullptr;
    ASSERT_EQ(SHGetIDListFromObject(item, &whole), S_OK);
    ASSERT_EQ(ILGetSize(whole), ILGetSize(parent) + ILGetSize(song) - 2);
    EXPECT_EQ(name_of(ILFindLastID(whole)), "song.mp3");
    ILFree(whole);

    EXPECT_EQ(array->GetAttributes(SIATTRIBFLAGS_AND, SFGAO_FOLDER, &attributes), S_FALSE);
    EXPECT_EQ(attributes, 0u);
    EXPECT_EQ(array->GetAttributes(SIATTRIBFLAGS_OR, SFGAO_FOLDER, &attributes), S_OK);
    EXPECT_EQ(attributes, SFGAO_FOLDER);
    item->Release();
    array->Release();
    EXPECT_EQ(folder.references, 1u) << "the array and its items let the folder go";
}

TEST_F(ShellItemArray, HandlersBindThroughTheFolder) {
    PCUITEMID_CHILD ids[] = {song, docs};
    IShellItemArray* array = nullptr;
    ASSERT_EQ(SHCreateShellItemArray(parent, &folder, 2, ids, &array), S_OK);
    void* object = &folder;
    EXPECT_EQ(array->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(folder.data_objects.size(), 1u);
    EXPECT_EQ(folder.data_objects[0], (std::vector<std::string>{"song.mp3", "docs/"}));
    EXPECT_EQ(array->BindToHandler(nullptr, BHID_SFObject, IID_IShellFolder, &object),
              MK_E_NOOBJECT);

    IShellItem* item = nullptr;
    ASSERT_EQ(array->GetItemAt(1, &item), S_OK);
    IShellFolder* below = nullptr;
    ASSERT_EQ(item->BindToHandler(nullptr, BHID_SFObject, IID_IShellFolder,
                                  reinterpret_cast<void**>(&below)),
              S_OK);
    EXPECT_EQ(folder.bound, std::vector<std::string>{"docs/"});
    below->Release();
    EXPECT_EQ(item->BindToHandler(nullptr, BHID_DataObject, IID_IDataObject, &object), E_FAIL);
    EXPECT_EQ(folder.data_objects.back(), std::vector<std::string>{"docs/"});
    EXPECT_EQ(item->BindToHandler(nullptr, GUID_NULL, IID_IUnknown, &object), MK_E_NOOBJECT);
    item->Release();
    array->Release();
}

TEST_F(ShellItemArray, NothingIsMadeOfNoItemsOrANullId) {
    IShellItemArray* array = reinterpret_cast<IShellItemArray*>(&folder);
    PCUITEMID_CHILD none[] = {song, nullptr};
    EXPECT_EQ(SHCreateShellItemArray(parent, &folder, 0, none, &array), E_INVALIDARG);
    EXPECT_EQ(array, nullptr);
    EXPECT_EQ(SHCreateShellItemArray(parent, &folder, 2, none, &array), E_INVALIDARG);
    EXPECT_EQ(SHCreateShellItemArray(nullptr, &folder, 1, none, &array), E_INVALIDARG);
    EXPECT_EQ(SHCreateShellItemArray(parent, &folder, 1, none, nullptr), E_INVALIDARG);
    EXPECT_EQ(folder.references, 1u);
}

}  // namespace
