#include "folder/transfer/enum_formatetc.h"

#include <algorithm>

HRESULT CEnumFORMATETC::Next(ULONG count, FORMATETC* formats, ULONG* fetched) {
    if (!formats || (!fetched && count != 1)) return E_POINTER;
    ULONG copied = 0;
    while (copied < count && m_position < m_formats.size())
        formats[copied++] = m_formats[m_position++];
    if (fetched) *fetched = copied;
    return copied < count ? S_FALSE : S_OK;
}

HRESULT CEnumFORMATETC::Skip(ULONG count) {
    const size_t left = m_formats.size() - m_position;
    m_position += std::min<size_t>(count, left);
    return count > left ? S_FALSE : S_OK;
}

HRESULT CEnumFORMATETC::Reset() {
    m_position = 0;
    return S_OK;
}

HRESULT CEnumFORMATETC::Clone(IEnumFORMATETC** copy) {
    if (copy) *copy = nullptr;
    return E_NOTIMPL;
}

HRESULT create_format_enumerator(std::vector<FORMATETC> formats, IEnumFORMATETC** enumerator) {
    *enumerator = nullptr;
    CComObject<CEnumFORMATETC>* object = nullptr;
    if (FAILED(CComObject<CEnumFORMATETC>::CreateInstance(&object))) return E_OUTOFMEMORY;
    object->AddRef();
    object->Init(std::move(formats));
    const HRESULT result =
        object->QueryInterface(IID_IEnumFORMATETC, reinterpret_cast<void**>(enumerator));
    object->Release();
    return result;
}
