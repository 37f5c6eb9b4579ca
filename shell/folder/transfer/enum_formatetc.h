// The enumerator of a data object's formats: its own copy of the list as it
// was when the enumeration was asked for.
#pragma once

#include <vector>

#include "win/atl_base.h"
#include "win/data_object.h"

class CEnumFORMATETC : public CComObjectRootEx<CComSingleThreadModel>, public IEnumFORMATETC {
public:
    using com_map = win_atl::com_map<IEnumFORMATETC>;

    void Init(std::vector<FORMATETC> formats) { m_formats = std::move(formats); }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) override;

private:
    size_t m_position = 0;
    std::vector<FORMATETC> m_formats;
};

// E_OUTOFMEMORY when the enumerator cannot be made.
HRESULT create_format_enumerator(std::vector<FORMATETC> formats, IEnumFORMATETC** enumerator);
