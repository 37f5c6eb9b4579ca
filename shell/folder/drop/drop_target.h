// Room folder/drop, above folder/adapters and below folder/overlay (the
// order of the rooms: shell/CMakeLists.txt): drag source, drop target and
// the upload of a dropped tree.
//
// Drag and drop on the virtual folder. The drag source answers the drag
// loop for items dragged out; the drop target decides whether a dragged
// data object may drop, with which effect, and uploads what was dropped
// into the folder's remote directory: on the caller's thread, or on a
// worker thread when the data object transfers asynchronously.
//
// A drop is reported to its source as MOVE only when every item arrived,
// so that a source deletes nothing that is not safe on the service; a
// drop of the folder's own items (copied or moved by the service itself)
// is always reported as NONE.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "vfs/directory.h"
#include "win/atl_base.h"
#include "win/shell_dragdrop.h"
#include "win/shell_thread.h"

class CDropSourceImpl : public CComObjectRootEx<CComSingleThreadModel>, public IDropSource {
public:
    using com_map = win_atl::com_map<IDropSource>;

    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape_pressed, DWORD key_state) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;
};

class CDropTargetImpl : public CComObjectRootEx<CComSingleThreadModel>, public IDropTarget {
public:
    using com_map = win_atl::com_map<IDropTarget>;

    CDropTargetImpl() = default;
    ~CDropTargetImpl();
    CDropTargetImpl(const CDropTargetImpl&) = delete;
    CDropTargetImpl& operator=(const CDropTargetImpl&) = delete;

    // What a drop target needs of the folder object that made it: the
    // folder itself, of which a reference is kept, and its remote item once
    // connected (the login dialog allowed, owned by the window given), null
    // when it cannot connect.
    using connected_item = std::function<vfs::item_ptr(HWND owner)>;

    // The folder that made the target, its place and remote levels, the
    // view's owner window; use_helper asks the shell's drag-image helper to
    // follow the drags. E_FAIL without a folder.
    HRESULT Init(IUnknown* folder, connected_item connect, const CItemIdList& root,
                 const CItemIdList& location, HWND owner, bool use_helper);

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD key_state, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD key_state, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD key_state, POINTL point,
                                   DWORD* effect) override;

private:
    CItemIdList TargetList() const { return m_pidlRoot + m_location; }
    DWORD EffectFromKeys(DWORD key_state, DWORD allowed) const;
    // The folder's remote directory; for a folder object that stands for a
    // file, the folder holding it, and the levels shortened with it, both
    // only when the whole walk succeeds.
    HRESULT ResolveTarget();
    void ReleaseData();

    IDataObject* m_data = nullptr;
    IDropTargetHelper* m_helper = nullptr;
    IUnknown* m_folder = nullptr;
    connected_item m_connect;
    HWND m_owner = nullptr;
    vfs::directory_ptr m_target;
    CItemIdList m_pidlRoot;
    CItemIdList m_location;
    bool m_accepting = false;
};

namespace drop_rules {

// Copy, or move with Shift, as far as the source allows.
DWORD effect_from_keys(DWORD key_state, DWORD allowed);
// Whether the data object carries local files or virtual files.
bool can_accept(IDataObject* data);
// Whether the data object holds items of the virtual folder whose folder
// is the target, or one of whose folders is the target or holds it (a
// folder dropped into itself or below itself).
bool is_drop_on_own_items(IDataObject* data, const CItemIdList& target);
// The upload of the data object's files into the target; own tells
// whether it was the extension's own data object.
HRESULT read_drop_medium(HWND owner, IDataObject* data, const vfs::directory_ptr& target,
                         const CItemIdList& location, DWORD effect, bool& own);
// The text that tells which items of a drop were left out and why
// ("name: reason" each, the first twenty), empty when none was; own tells
// that the service copies or moves the items itself.
std::wstring left_out_summary(const std::vector<std::wstring>& entries, DWORD effect, bool own);
// Writes the effect as "Performed DropEffect" and "Paste Succeeded".
void report_effect(IDataObject* data, DWORD effect);

}  // namespace drop_rules
