// Room folder/transfer, above folder/icons and below folder/workers (the
// order of the rooms: shell/CMakeLists.txt): the data object and the stream
// over a remote file. The data object's long jobs are declared here and
// carried out in folder/workers; its saved form binds its folder through a
// hook the folder object sets (set_saved_place_binder).
//
// The data object over a selection of remote items: what the folder hands
// Explorer for drags out, Copy and Cut, and what the item menu, the property
// sheets and the workers act on. It offers the items to other programs as
// virtual files (a descriptor group and one stream per file), marks itself
// with the extension's own format, keeps the drop effects the shell writes
// back, deletes the sources after a completed move-paste, and writes itself
// to a stream so that the clipboard can keep it after a flush.
#pragma once

#include <utility>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "folder/item_ids/pidl_array.h"
#include "utils/class_ids.h"
#include "vfs/directory.h"
#include "win/atl_base.h"
#include "win/persist.h"
#include "win/progress_dialog.h"
#include "win/registry.h"
#include "win/shell_dragdrop.h"
#include "win/user_types.h"

// The type library's own interface of the data object.
struct IDataObjectImpl : IUnknown {
    // Task-allocated copies of the folder object's root list and of the
    // remote levels below it; the caller frees both.
    virtual HRESULT STDMETHODCALLTYPE GetPath(LPITEMIDLIST* root, LPITEMIDLIST* location) = 0;
};
WIN_COM_INTERFACE_TRAITS(IDataObjectImpl, IUnknown, utils::iid_data_object_impl);

class CDataObjectImpl;
// The binding of an opened file's local copy (workers/copy_binding.h).
struct copy_binding;

// How a data object rebuilt from its saved form finds the remote folder of
// its place: a folder object of its own binds the place (the login dialog
// allowed), as the folder binds any place. The folder object lies above the
// data object, so its room sets this while the module loads. S_OK with the
// folder; a failure of the binding, or E_FAIL without a folder.
using saved_place_binder = HRESULT (*)(const CItemIdList& root, const CItemIdList& location,
                                       vfs::directory_ptr& folder);
void set_saved_place_binder(saved_place_binder binder);

// The mark of the extension's own data object that no other program can
// copy: formats and the type library's interface can be offered by any
// object, or reached through a proxy of one, but this interface is known
// to no type library and no proxy, so only the object itself, in its own
// process, answers it.
struct IOwnDataObject : IUnknown {
    virtual CDataObjectImpl* STDMETHODCALLTYPE Object() = 0;
};
// {AE93E8FF-5D53-4349-84AE-1AF8E6528C56}
inline constexpr IID iid_own_data_object{
    0xAE93E8FF, 0x5D53, 0x4349, {0x84, 0xAE, 0x1A, 0xF8, 0xE6, 0x52, 0x8C, 0x56}};
WIN_COM_INTERFACE_TRAITS(IOwnDataObject, IUnknown, iid_own_data_object);

// The extension's own data object behind object, or null for any other
// (another program's, whatever formats it offers). The caller's reference
// keeps it alive.
CDataObjectImpl* own_data_object(IUnknown* object);

class CDataObjectImpl : public CComObjectRootEx<CComSingleThreadModel>,
                        public CComCoClass<CDataObjectImpl, &utils::clsid_data_object>,
                        public IPersistStream,
                        public IDataObjectImpl,
                        public IDataObject,
                        public IOwnDataObject {
public:
    using com_map = win_atl::com_map<IPersistStream, IDataObjectImpl, IDataObject, IOwnDataObject>;

    // Registered so that the clipboard can make one and Load it from the
    // saved form it kept at a flush, in this process or another.
    static HRESULT UpdateRegistry(BOOL do_register);

    CDataObjectImpl() = default;
    ~CDataObjectImpl();
    CDataObjectImpl(const CDataObjectImpl&) = delete;
    CDataObjectImpl& operator=(const CDataObjectImpl&) = delete;

    // Keeps the selection and adds the offered formats. E_INVALIDARG for no
    // items; the first failure to add a format.
    HRESULT init_data_object(const vfs::directory_ptr& folder, const CItemIdList& root,
                             const CItemIdList& location, HWND owner, const LPCITEMIDLIST* items,
                             UINT count);

    vfs::directory_ptr GetFolder() const { return m_folder; }
    CItemIdList GetFolderList() const { return m_pidlRoot + m_location; }
    UINT GetItemCount() const { return m_items.GetSize(); }
    const CPidlArray& GetItems() const { return m_items; }

    // Deletes the carried items on a worker thread with a progress dialog,
    // after asking unless no_confirm (a completed move): to the trash, or
    // for good when the folder is the trash or a folder shown in it (what
    // lies in the trash cannot go there again). E_INVALIDARG without items or
    // when the first is not in the folder; S_FALSE when the user said No;
    // E_FAIL when the worker could not start.
    HRESULT start_delete_items(HWND owner, bool no_confirm);
    // Puts the carried items of the trash back where they were deleted from,
    // on the calling thread, announcing each as gone from the trash. The
    // window plays no part: boxes are owned by the data object's owner.
    // E_INVALIDARG without items or outside the trash; E_FAIL after a
    // failure of the service (shown in a box; earlier items stay restored).
    HRESULT restore_items(HWND window);

    // Plays every audio (music) or video file directly in the folder, listed
    // afresh: the selection plays no part, nor does the window. Failures of
    // the service while listing go to the caller (vfs::exception).
    void collect_music_files(HWND hwnd);
    void collect_video_files(HWND hwnd);

    // Opens the carried items on a worker thread of their own: folders in
    // windows of the folder, audio and video from their links, every other
    // file through its local copy, with the program of program_key (NULL:
    // the shell's choice) or the Open With dialog. S_OK when the thread
    // started, else E_FAIL.
    HRESULT start_open_files(HWND hwnd, HKEY program_key, bool open_with_dialog);
    // The open worker's thread procedure; it owns and frees the job.
    static DWORD WINAPI _OpenFilesThread(LPVOID job);
    // Binds a local copy to its remote folder so that its edits are
    // uploaded, in place of an earlier binding of the copy; a binding the
    // user made of the same paths is kept and none added. Reports its own
    // failures in a box and never fails to its caller.
    static void _CreateTempBinding(HWND hwnd, IProgressDialog* dialog, const copy_binding& copy);

    // IOwnDataObject.
    CDataObjectImpl* STDMETHODCALLTYPE Object() override { return this; }

    // IDataObjectImpl.
    HRESULT STDMETHODCALLTYPE GetPath(LPITEMIDLIST* root, LPITEMIDLIST* location) override;

    // IPersist, IPersistStream.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    // The stream is untrusted: a short or malformed stream, a list that is
    // not this folder's, or an item that is not one record fails with
    // E_FAIL (the stream's own read failure is returned as it is).
    HRESULT STDMETHODCALLTYPE Load(IStream* stream) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clear_dirty) override;
    // The exact size Save writes.
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;

    // IDataObject.
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                      DWORD* connection) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

private:
    // One descriptor of the group and whether its contents can be served:
    // not when its path was cut or a name on it holds "\", since the walk by
    // names would then reach another item.
    struct descriptor_entry {
        FILEDESCRIPTORW descriptor;
        bool resolvable;
    };

    HRESULT add_format(CLIPFORMAT format, DWORD tymed, HGLOBAL value);
    int find_format(const FORMATETC& format) const;
    HRESULT get_descriptor_group(STGMEDIUM* medium);
    HRESULT get_file_contents(LONG index, STGMEDIUM* medium);
    HRESULT get_id_array(STGMEDIUM* medium);
    HRESULT get_stored(const FORMATETC& format, STGMEDIUM* medium);
    HRESULT ensure_descriptors();
    HRESULT build_file_descriptors();
    HRESULT add_file_descriptor(const vfs::directory_ptr& directory, const std::wstring& prefix,
                                bool prefix_resolvable, const std::wstring& id);
    HRESULT add_subtree_descriptors(const vfs::directory_ptr& directory, const std::wstring& prefix,
                                    bool prefix_resolvable, const std::wstring& id);
    void after_paste();
    HRESULT after_target_class(const STGMEDIUM& medium);
    void notify_folder_changed() const;
    void collect_media_files(bool (*of_type)(const std::wstring&));

    HWND m_hwndOwner = nullptr;
    vfs::directory_ptr m_folder;
    CItemIdList m_pidlRoot;
    CItemIdList m_location;
    CPidlArray m_items;
    std::vector<descriptor_entry> m_descriptors;
    std::vector<std::pair<FORMATETC, STGMEDIUM>> m_formats;
};

// A DWORD-valued format of a data object: GetData of the 4-byte block (a
// missing format is the caller's failure) and SetData of a new one.
HRESULT read_clipboard_dword(IDataObject* object, CLIPFORMAT format, DWORD* value);
HRESULT write_clipboard_dword(IDataObject* object, CLIPFORMAT format, DWORD value);

// A new data object over the selection; the caller holds the one reference.
HRESULT create_data_object(const vfs::directory_ptr& folder, const CItemIdList& root,
                           const CItemIdList& location, HWND owner, const LPCITEMIDLIST* items,
                           UINT count, CComObject<CDataObjectImpl>** object);
