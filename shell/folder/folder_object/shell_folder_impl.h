// Room folder/folder_object, the highest room of the folder, below ui/ (the
// order of the rooms: shell/CMakeLists.txt): the folder object and every
// object it hands out. It opens the windows of ui/ through the table of
// makers (folder/module/ui_makers.h), never by including ui/.
//
// The namespace folder: one object for each remote folder Explorer shows,
// from the virtual folder under Computer down to any folder below it. It
// holds the process's session with the service, the remote folder it shows
// and its own place in the shell namespace (the list the shell gave it,
// followed by one record per remote level below that).
#pragma once

#include <list>
#include <memory>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "utils/class_ids.h"
#include "utils/named_mutex.h"
#include "vfs/client.h"
#include "win/atl_base.h"
#include "win/ole.h"
#include "win/oleauto.h"
#include "win/shell_folder2.h"
#include "win/shell_menu.h"
#include "win/shell_transfer.h"
#include "win/storage.h"

// The type library's own interface of the folder object.
struct IShellFolderImpl : IUnknown {
    // The remote item the folder shows, by reference: VT_BYREF to the
    // folder's vfs::item_ptr, valid while the folder object lives and only
    // in its process. E_FAIL before the folder has one.
    virtual HRESULT STDMETHODCALLTYPE GetObject(VARIANT* value) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellFolderImpl, IUnknown, utils::iid_shell_folder_impl);

class CShellFolderImpl : public CComObjectRootEx<CComSingleThreadModel>,
                         public CComCoClass<CShellFolderImpl, &utils::clsid_calvimora_folder, true>,
                         public IShellFolder2,
                         public IPersistFolder3,
                         public IObjectWithSite,
                         public ITransferDestination,
                         public IStorage,
                         public IShellFolderImpl {
public:
    using com_map = win_atl::com_map<IShellFolder2, IPersistFolder3, IObjectWithSite,
                                     ITransferDestination, IStorage, IShellFolderImpl>;

    // Registering the folder first makes sure the computer's identifier
    // exists.
    static HRESULT UpdateRegistry(BOOL do_register);

    CShellFolderImpl() = default;
    ~CShellFolderImpl();
    CShellFolderImpl(const CShellFolderImpl&) = delete;
    CShellFolderImpl& operator=(const CShellFolderImpl&) = delete;

    // Opens the session's login mutex; E_FAIL when it cannot be had.
    HRESULT FinalConstruct();

    // IPersist, IPersistFolder, IPersistFolder2, IPersistFolder3.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE list) override;
    HRESULT STDMETHODCALLTYPE GetCurFolder(PIDLIST_ABSOLUTE* list) override;
    HRESULT STDMETHODCALLTYPE InitializeEx(IBindCtx* context, PCIDLIST_ABSOLUTE root,
                                           const PERSIST_FOLDER_TARGET_INFO* target) override;
    HRESULT STDMETHODCALLTYPE GetFolderTargetInfo(PERSIST_FOLDER_TARGET_INFO* target) override;

    // IObjectWithSite.
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) override;

    // IShellFolder: a path typed or passed by a program turned into an item
    // id list (folder_parsing.cpp). The path is relative to this folder, or
    // absolute when it starts with the folder's parsing name (in either of
    // Explorer's forms) or the user's saved-files folder, followed by "\"
    // or nothing; the list is then absolute too. A missing last name is
    // invented when the bind context asks for STGM_CREATE (another
    // program's Save-As), and its local path goes into the session's
    // Save-As list. E_INVALIDARG for an empty name level; E_FAIL for a
    // missing name otherwise, a path through a file or a failed lookup.
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND owner, LPBC context, LPWSTR name, ULONG* eaten,
                                               PIDLIST_RELATIVE* list, ULONG* attributes) override;

    // IShellFolder: connection, binding and enumeration (shell_folder_impl.cpp).
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND owner, DWORD flags,
                                          IEnumIDList** enumerator) override;
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE list, LPBC context, REFIID iid,
                                           void** object) override;
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE list, LPBC context, REFIID iid,
                                            void** object) override;
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND owner, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND owner, UINT count, PCUITEMID_CHILD_ARRAY lists,
                                            REFIID iid, UINT* reserved, void** object) override;

    // IShellFolder: order, attributes, names and renaming (folder_items.cpp).
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM column, PCUIDLIST_RELATIVE first,
                                         PCUIDLIST_RELATIVE second) override;
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT count, PCUITEMID_CHILD_ARRAY lists,
                                              SFGAOF* attributes) override;
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags,
                                               STRRET* name) override;
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND owner, PCUITEMID_CHILD list, LPCWSTR name,
                                        SHGDNF flags, PITEMID_CHILD* new_list) override;

    // IShellFolder2: columns and details (folder_columns.cpp).
    HRESULT STDMETHODCALLTYPE GetDefaultSearchGUID(GUID* guid) override;
    HRESULT STDMETHODCALLTYPE EnumSearches(IEnumExtraSearch** searches) override;
    HRESULT STDMETHODCALLTYPE GetDefaultColumn(DWORD reserved, ULONG* sort,
                                               ULONG* display) override;
    HRESULT STDMETHODCALLTYPE GetDefaultColumnState(UINT column, SHCOLSTATEF* flags) override;
    HRESULT STDMETHODCALLTYPE GetDetailsEx(PCUITEMID_CHILD list, const SHCOLUMNID* key,
                                           VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE GetDetailsOf(PCUITEMID_CHILD list, UINT column,
                                           SHELLDETAILS* details) override;
    HRESULT STDMETHODCALLTYPE MapColumnToSCID(UINT column, SHCOLUMNID* key) override;

    // ITransferDestination: the shell's copy engine is not served; each
    // method answers E_NOTIMPL (folder_storage.cpp).
    HRESULT STDMETHODCALLTYPE Advise(ITransferAdviseSink* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE CreateItem(LPCWSTR name, DWORD attributes, ULONGLONG size,
                                         TRANSFER_SOURCE_FLAGS flags, REFIID item_iid, void** item,
                                         REFIID resources_iid, void** resources) override;

    // IStorage: CreateStream makes a new remote file and binds it as a
    // stream; every other method answers E_NOTIMPL (folder_storage.cpp).
    HRESULT STDMETHODCALLTYPE CreateStream(const OLECHAR* name, DWORD mode, DWORD reserved1,
                                           DWORD reserved2, IStream** stream) override;
    HRESULT STDMETHODCALLTYPE OpenStream(const OLECHAR* name, void* reserved1, DWORD mode,
                                         DWORD reserved2, IStream** stream) override;
    HRESULT STDMETHODCALLTYPE CreateStorage(const OLECHAR* name, DWORD mode, DWORD reserved1,
                                            DWORD reserved2, IStorage** storage) override;
    HRESULT STDMETHODCALLTYPE OpenStorage(const OLECHAR* name, IStorage* priority, DWORD mode,
                                          SNB exclude, DWORD reserved, IStorage** storage) override;
    HRESULT STDMETHODCALLTYPE CopyTo(DWORD excluded_count, const IID* excluded, SNB exclude,
                                     IStorage* destination) override;
    HRESULT STDMETHODCALLTYPE MoveElementTo(const OLECHAR* name, IStorage* destination,
                                            const OLECHAR* new_name, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE EnumElements(DWORD reserved1, void* reserved2, DWORD reserved3,
                                           IEnumSTATSTG** elements) override;
    HRESULT STDMETHODCALLTYPE DestroyElement(const OLECHAR* name) override;
    HRESULT STDMETHODCALLTYPE RenameElement(const OLECHAR* old_name,
                                            const OLECHAR* new_name) override;
    HRESULT STDMETHODCALLTYPE SetElementTimes(const OLECHAR* name, const FILETIME* created,
                                              const FILETIME* accessed,
                                              const FILETIME* modified) override;
    HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) override;
    HRESULT STDMETHODCALLTYPE SetStateBits(DWORD bits, DWORD mask) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD flags) override;

    // IShellFolderImpl.
    HRESULT STDMETHODCALLTYPE GetObject(VARIANT* value) override;

    // Makes sure the folder has a session and a remote folder: takes the
    // session of the process under the login mutex, asking for a login with
    // the dialog (owned by owner) when nobody is logged in, unless no_ui is
    // set. E_FAIL when nobody is or gets logged in, or no session can be had.
    HRESULT EnsureConnected(HWND owner, bool no_ui);

    // Makes this object the folder that relative names below start: base
    // becomes its place in the namespace, location + relative its remote
    // levels. E_FAIL when the path passes through an item that is not a
    // folder or is not found.
    HRESULT InitFromParent(const vfs::item_ptr& start, const CItemIdList& base,
                           const CItemIdList& location, const CItemIdList& relative);
    // Connects (with the dialog allowed), then becomes the folder that
    // relative names below the root, with base as its place in the namespace.
    HRESULT BindToPidl(const CItemIdList& base, const CItemIdList& relative);

    // The item menu's callback for the shell's default menu: merges the
    // folder's commands and carries them out.
    static HRESULT CALLBACK MenuCallback(IShellFolder* folder, HWND owner, IDataObject* data,
                                         UINT message, WPARAM wparam, LPARAM lparam);

    // The remote item the folder shows; empty before the connection check.
    vfs::item_ptr GetDirectory() const { return m_directory; }

    // SHChangeNotify with the absolute lists of two relative lists below
    // this folder; nothing is sent when a list cannot be built.
    void NotifyShellChange2(LONG event, const CItemIdList& first, const CItemIdList& second);

private:
    // The drop target of the folder's view (folder_ui_objects.cpp).
    HRESULT CreateDropTarget(HWND owner, REFIID iid, void** object);
    // The folder's absolute list: m_pidlRoot followed by m_location.
    CItemIdList AbsoluteList() const { return m_pidlRoot + m_location; }
    // The folder's parsing name in Explorer's form, for GetDisplayNameOf.
    HRESULT ExplorerParsingPrefix(SHGDNF flags, std::wstring* prefix) const;
    // The user's saved-files folder in the native form, for other programs.
    HRESULT LocalParsingPrefix(std::wstring* prefix) const;

    IUnknown* m_site = nullptr;
    CItemIdList m_pidlRoot;
    CItemIdList m_location;
    vfs::client_ptr m_client;
    vfs::item_ptr m_directory;
    // One vector per enumeration, kept for the object's life: its
    // enumerators walk them, so the list never moves its elements.
    std::list<std::vector<PIDLDATA>> m_enumLists;
    std::unique_ptr<utils::named_mutex> m_loginMutex;
};
