#include "folder/drop/drop_target.h"

#include <boost/make_shared.hpp>
#include <exception>
#include <memory>

#include "folder/adapters/fd_items.h"
#include "folder/adapters/hdrop_items.h"
#include "folder/drop/drop_upload.h"
#include "folder/module/folder_session.h"
#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "win/async_operation.h"
#include "win/global_memory.h"
#include "win/shell.h"
#include "win/user.h"

namespace {

// The first levels of a list, its base kept.
CItemIdList leading_levels(const CItemIdList& list, std::size_t count) {
    CItemIdList result = list.HasBase() ? CItemIdList(list.GetBase(), true) : CItemIdList();
    for (std::size_t i = 0; i < count && i < list.GetItems().size(); ++i)
        result += CItemIdList(list.GetItems()[i]);
    return result;
}

bool starts_with(const CItemIdList& list, const CItemIdList& prefix) {
    if (prefix.GetItems().size() > list.GetItems().size()) return false;
    return leading_levels(list, prefix.GetItems().size()) == prefix;
}

FORMATETC hglobal_format(CLIPFORMAT format) {
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

CLIPFORMAT module_format(CCalvimoraModule::clipboard_format which) {
    return calvimora_module().Format(which);
}

void notify_updated(const CItemIdList& list) {
    LPITEMIDLIST absolute = list.CreatePidl();
    if (!absolute) return;
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_IDLIST | SHCNF_FLUSH, absolute, nullptr);
    CoTaskMemFree(absolute);
}

// What a drop hands its worker. The job holds the module loaded from
// before the worker starts; as its first member the hold goes last, after
// everything else of the job, whose destructors are the module's code.
struct DropJob {
    CCalvimoraModule::worker_reference keep_loaded;
    HWND owner = nullptr;
    DWORD effect = DROPEFFECT_NONE;
    IStream* stream = nullptr;
    CItemIdList root;
    CItemIdList location;
    vfs::directory_ptr target;
};

void show_internal_error(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), L"Internal error", MB_OK | MB_ICONERROR);
}

class drop_failure : public std::exception {
public:
    explicit drop_failure(std::wstring text) : text(std::move(text)) {}
    const char* what() const noexcept override { return "drop failed"; }
    std::wstring text;
};

// The summary of what the dropped tree left out, so that the user sees
// why a move kept its sources.
void tell_left_out(HWND owner, const CClipboardWrapper& tree, DWORD effect, bool own) {
    const std::wstring summary = drop_rules::left_out_summary(tree.skipped(), effect, own);
    if (!summary.empty())
        MessageBoxW(owner, summary.c_str(), L"Items left out", MB_OK | MB_ICONWARNING);
}

DWORD WINAPI DoDropThread(LPVOID parameter) {
    std::unique_ptr<DropJob> job(static_cast<DropJob*>(parameter));
    const bool com = SUCCEEDED(CoInitialize(nullptr));
    IDataObject* data = nullptr;
    IAsyncOperation* async = nullptr;
    try {
        if (!com) throw drop_failure(L"Com initialize failed");
        IStream* stream = job->stream;
        job->stream = nullptr;
        if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_IDataObject,
                                                  reinterpret_cast<void**>(&data))))
            throw drop_failure(L"Unable to extract data object from the stream");
        if (!data) throw drop_failure(L"Wrong data object");
        if (FAILED(data->QueryInterface(IID_IAsyncOperation, reinterpret_cast<void**>(&async))) ||
            !async)
            throw drop_failure(L"Data object doesn't support async operations.");
        BOOL asynchronous = FALSE;
        if (FAILED(async->GetAsyncMode(&asynchronous)) || !asynchronous)
            throw drop_failure(L"Unable to start async operation - not supported");
        if (FAILED(async->StartOperation(nullptr)))
            throw drop_failure(L"Unable to start async operation");
        HRESULT result = E_FAIL;
        bool own = false;
        DWORD performed = DROPEFFECT_NONE;
        try {
            result = drop_rules::read_drop_medium(job->owner, data, job->target, job->location,
                                                  job->effect, own);
            performed = result == S_OK && !own ? job->effect : DROPEFFECT_NONE;
            drop_rules::report_effect(data, performed);
            notify_updated(job->root + job->location);
        } catch (...) {
            // Whatever failed, the source hears the end of the operation.
            async->EndOperation(E_FAIL, nullptr, DROPEFFECT_NONE);
            throw;
        }
        if (FAILED(async->EndOperation(result, nullptr, performed)))
            throw drop_failure(L"Unable to end async operation");
    } catch (const drop_failure& failure) {
        show_internal_error(job->owner, failure.text);
    } catch (const vfs::exception& failure) {
        show_internal_error(job->owner, failure.get_text());
    } catch (const std::exception& failure) {
        const std::string text = failure.what();
        show_internal_error(job->owner, std::wstring(text.begin(), text.end()));
    } catch (...) {
        show_internal_error(job->owner, L"Unknown error in CDropTargetImpl::_DoDropThread()");
    }
    if (job->stream) job->stream->Release();
    if (async) async->Release();
    if (data) data->Release();
    if (com) CoUninitialize();
    return 0;
}

}  // namespace

namespace drop_rules {

DWORD effect_from_keys(DWORD key_state, DWORD allowed) {
    const DWORD wanted = (key_state & MK_SHIFT) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
    if (allowed & wanted) return wanted;
    if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
    if (allowed & DROPEFFECT_MOVE) return DROPEFFECT_MOVE;
    return DROPEFFECT_COPY;
}

bool can_accept(IDataObject* data) {
    FORMATETC files = hglobal_format(CF_HDROP);
    if (data->QueryGetData(&files) == S_OK) return true;
    FORMATETC descriptors =
        hglobal_format(module_format(CCalvimoraModule::format_file_group_descriptor));
    return data->QueryGetData(&descriptors) == S_OK;
}

bool is_drop_on_own_items(IDataObject* data, const CItemIdList& target) {
    const CDataObjectImpl* own = own_data_object(data);
    if (!own) return false;
    const CItemIdList source = own->GetFolderList();
    if (source == target) return true;
    const CPidlArray& items = own->GetItems();
    for (UINT i = 0; i < items.GetSize(); ++i) {
        try {
            if (starts_with(target, source + CItemIdList(items[i], false))) return true;
        } catch (const std::exception&) {
        }
    }
    return false;
}

HRESULT read_drop_medium(HWND owner, IDataObject* data, const vfs::directory_ptr& target,
                         const CItemIdList& location, DWORD effect, bool& own) {
    own = false;
    const std::wstring path = location.GetPath();
    FORMATETC descriptors =
        hglobal_format(module_format(CCalvimoraModule::format_file_group_descriptor));
    STGMEDIUM medium{};
    if (SUCCEEDED(data->GetData(&descriptors, &medium))) {
        // Only the extension's own object has its items copied or moved by
        // the service; any other program's, whatever formats it offers, is
        // virtual files whose bytes are read.
        own = own_data_object(data) != nullptr;
        HRESULT result = E_FAIL;
        try {
            const auto tree = boost::make_shared<CFILEDESCRIPTORWrapper>(data, medium.hGlobal);
            result = shell_upload::run_upload_with_progress(owner, tree, target, path, effect, own);
            // The service moved the files; the folders they left are this
            // drop's to remove.
            if (own && effect == DROPEFFECT_MOVE && result == S_OK) tree->remove_emptied_sources();
            tell_left_out(owner, *tree, effect, own);
        } catch (const vfs::exception& failure) {
            MessageBoxW(owner, failure.get_text().c_str(), failure.get_title().c_str(), MB_OK);
        }
        ReleaseStgMedium(&medium);
        return result;
    }
    FORMATETC files = hglobal_format(CF_HDROP);
    medium = STGMEDIUM{};
    if (SUCCEEDED(data->GetData(&files, &medium))) {
        HRESULT result = E_FAIL;
        try {
            const auto tree = boost::make_shared<CHDROPWrapper>(medium.hGlobal);
            result =
                shell_upload::run_upload_with_progress(owner, tree, target, path, effect, false);
            tell_left_out(owner, *tree, effect, false);
        } catch (const vfs::exception& failure) {
            MessageBoxW(owner, failure.get_text().c_str(), failure.get_title().c_str(), MB_OK);
        }
        ReleaseStgMedium(&medium);
        return result;
    }
    return E_INVALIDARG;
}

std::wstring left_out_summary(const std::vector<std::wstring>& entries, DWORD effect, bool own) {
    if (entries.empty()) return std::wstring();
    constexpr std::size_t shown = 20;
    std::wstring text =
        own ? L"These items could not be copied or moved and were left where they are:"
        : effect == DROPEFFECT_MOVE
            ? L"These items could not be uploaded and were left out, so nothing was moved and "
              L"every dropped original is kept:"
            : L"These items could not be uploaded and were left out:";
    for (std::size_t i = 0; i < entries.size() && i < shown; ++i) text += L"\n" + entries[i];
    if (entries.size() > shown)
        text += L"\n... and " + std::to_wstring(entries.size() - shown) + L" more";
    return text;
}

void report_effect(IDataObject* data, DWORD effect) {
    for (const auto which : {CCalvimoraModule::format_performed_drop_effect,
                             CCalvimoraModule::format_paste_succeeded}) {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof(DWORD));
        if (!block) continue;
        *static_cast<DWORD*>(GlobalLock(block)) = effect;
        GlobalUnlock(block);
        FORMATETC format = hglobal_format(module_format(which));
        STGMEDIUM medium{};
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = block;
        if (FAILED(data->SetData(&format, &medium, TRUE))) GlobalFree(block);
    }
}

}  // namespace drop_rules

HRESULT CDropSourceImpl::QueryContinueDrag(BOOL escape_pressed, DWORD key_state) {
    if (escape_pressed) return DRAGDROP_S_CANCEL;
    return (key_state & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
}

HRESULT CDropSourceImpl::GiveFeedback(DWORD) {
    return DRAGDROP_S_USEDEFAULTCURSORS;
}

CDropTargetImpl::~CDropTargetImpl() {
    ReleaseData();
    if (m_helper) m_helper->Release();
    if (m_folder) m_folder->Release();
}

HRESULT CDropTargetImpl::Init(IUnknown* folder, connected_item connect, const CItemIdList& root,
                              const CItemIdList& location, HWND owner, bool use_helper) {
    if (folder) folder->AddRef();
    if (m_folder) m_folder->Release();
    m_folder = folder;
    if (!m_folder) return E_FAIL;
    m_connect = std::move(connect);
    m_owner = owner;
    m_pidlRoot = root;
    m_location = location;
    if (use_helper && !m_helper &&
        FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDropTargetHelper, reinterpret_cast<void**>(&m_helper))))
        m_helper = nullptr;
    return S_OK;
}

void CDropTargetImpl::ReleaseData() {
    if (m_data) m_data->Release();
    m_data = nullptr;
}

DWORD CDropTargetImpl::EffectFromKeys(DWORD key_state, DWORD allowed) const {
    return m_accepting ? drop_rules::effect_from_keys(key_state, allowed) : DROPEFFECT_NONE;
}

HRESULT CDropTargetImpl::DragEnter(IDataObject* data, DWORD key_state, POINTL point,
                                   DWORD* effect) {
    if (!data || !effect) return E_POINTER;
    POINT at{point.x, point.y};
    if (m_helper) m_helper->DragEnter(m_owner, data, &at, *effect);
    data->AddRef();
    ReleaseData();
    m_data = data;
    m_accepting = drop_rules::can_accept(data);
    *effect = EffectFromKeys(key_state, *effect);
    return S_OK;
}

HRESULT CDropTargetImpl::DragOver(DWORD key_state, POINTL point, DWORD* effect) {
    if (!effect) return E_POINTER;
    POINT at{point.x, point.y};
    if (m_helper) m_helper->DragOver(&at, *effect);
    *effect = EffectFromKeys(key_state, *effect);
    return S_OK;
}

HRESULT CDropTargetImpl::DragLeave() {
    if (m_helper) m_helper->DragLeave();
    ReleaseData();
    m_accepting = false;
    return S_OK;
}

HRESULT CDropTargetImpl::ResolveTarget() {
    if (m_target) return S_OK;
    const vfs::item_ptr item = m_connect ? m_connect(m_owner) : vfs::item_ptr();
    if (!item) return E_FAIL;
    try {
        if (item->get_type() == vfs::item_type_directory) {
            m_target = boost::dynamic_pointer_cast<vfs::directory>(item);
            return m_target ? S_OK : E_FAIL;
        }
        // The folder object stands for a file: the drop goes to the folder
        // that holds it.
        const std::size_t levels = m_location.GetItems().size();
        if (levels == 0) return E_FAIL;
        const CItemIdList parent = leading_levels(m_location, levels - 1);
        vfs::directory_ptr current = current_folder_session().get_client()->get_root_directory();
        for (const PIDLDATA& level : parent.GetItems()) {
            current = boost::dynamic_pointer_cast<vfs::directory>(
                current->get_item_by_id(pidl_id(level), false));
            if (!current) return E_FAIL;
        }
        m_location = parent;
        m_target = current;
        return S_OK;
    } catch (const vfs::exception&) {
        return E_FAIL;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

HRESULT CDropTargetImpl::Drop(IDataObject* data, DWORD key_state, POINTL point, DWORD* effect) {
    if (!data || !effect) return E_POINTER;
    POINT at{point.x, point.y};
    if (m_helper) m_helper->Drop(data, &at, *effect);
    ReleaseData();
    const DWORD drop_effect = EffectFromKeys(key_state, *effect);
    *effect = DROPEFFECT_NONE;
    if (drop_effect == DROPEFFECT_NONE) return S_OK;
    if (drop_rules::is_drop_on_own_items(data, TargetList())) return E_FAIL;
    if (FAILED(ResolveTarget())) return E_FAIL;

    IAsyncOperation* async = nullptr;
    BOOL asynchronous = FALSE;
    if (SUCCEEDED(data->QueryInterface(IID_IAsyncOperation, reinterpret_cast<void**>(&async))) &&
        async) {
        if (FAILED(async->GetAsyncMode(&asynchronous))) asynchronous = FALSE;
        async->Release();
    }
    if (asynchronous) {
        auto job = std::make_unique<DropJob>();
        const HRESULT marshalled =
            CoMarshalInterThreadInterfaceInStream(IID_IDataObject, data, &job->stream);
        if (FAILED(marshalled)) return marshalled;
        job->owner = m_owner;
        job->effect = drop_effect;
        job->root = m_pidlRoot;
        job->location = m_location;
        job->target = m_target;
        DropJob* handed = job.release();
        // The thread also holds the module's code mapped until the procedure
        // has returned: the job lets its hold go in the procedure's last steps.
        if (SHCreateThread(DoDropThread, handed, CTF_PROCESS_REF | CTF_FREELIBANDEXIT, nullptr))
            return S_OK;
        handed->stream->Release();
        delete handed;
        return E_FAIL;
    }

    bool own = false;
    const HRESULT result =
        drop_rules::read_drop_medium(m_owner, data, m_target, m_location, drop_effect, own);
    if (result == S_OK && !own) *effect = drop_effect;
    drop_rules::report_effect(data, *effect);
    notify_updated(TargetList());
    return S_OK;
}
