#include "folder/folder_object/enum_id_list.h"

#include "folder/item_ids/item_id_list.h"
#include "win/atl_enum.h"

namespace {

using id_list_enumerator =
    CComEnumOnSTL<IEnumIDList, PITEMID_CHILD, CPIDLConstructor, std::vector<PIDLDATA>>;

}  // namespace

HRESULT CPIDLConstructor::copy(PITEMID_CHILD* to, const PIDLDATA* from) {
    try {
        *to = CItemIdList(*from).CreatePidl();
    } catch (...) {
        *to = nullptr;
    }
    return *to ? S_OK : E_OUTOFMEMORY;
}

void CPIDLConstructor::destroy(PITEMID_CHILD* element) {
    CoTaskMemFree(*element);
    *element = nullptr;
}

HRESULT create_id_list_enumerator(IUnknown* owner, std::vector<PIDLDATA>& records,
                                  IEnumIDList** enumerator) {
    CComObject<id_list_enumerator>* made = nullptr;
    HRESULT result = CComObject<id_list_enumerator>::CreateInstance(&made);
    if (FAILED(result)) return result;
    made->AddRef();
    made->Init(owner, records);
    result = made->QueryInterface(IID_IEnumIDList, reinterpret_cast<void**>(enumerator));
    made->Release();
    return result;
}
