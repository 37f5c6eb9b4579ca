// The class library's enumerator over a standard collection: an object
// answering an IEnum... interface that walks a collection someone else owns
// (the owner object, kept alive by the enumerator) and hands out copies of
// its elements made by a copy policy:
//
//   struct Copy {
//       static HRESULT copy(Out* to, const In* from);  // a new Out
//       static void init(Out* element);
//       static void destroy(Out* element);              // frees a copy
//   };
#pragma once

#include <iterator>

#include "win/atl_base.h"

template <typename Interface, typename Out, typename Copy, typename Collection>
class CComEnumOnSTL : public CComObjectRootEx<CComSingleThreadModel>, public Interface {
public:
    using com_map = win_atl::com_map<Interface>;
    using self = CComEnumOnSTL<Interface, Out, Copy, Collection>;

    ~CComEnumOnSTL() {
        if (owner_) owner_->Release();
    }

    // The collection to walk, from its start; owner (may be null) is held
    // for the enumerator's life because the collection lives in it.
    HRESULT Init(IUnknown* owner, Collection& collection) {
        if (owner) owner->AddRef();
        if (owner_) owner_->Release();
        owner_ = owner;
        collection_ = &collection;
        at_ = collection.begin();
        return S_OK;
    }

    // Copies of up to count elements from the current position: S_OK when
    // count were handed out, S_FALSE when fewer were left. E_POINTER for a
    // null array, or a null count with more than one element asked for.
    // When a copy fails, the copies of this call are destroyed and the
    // failure returned.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Out* elements, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!elements || (!fetched && count != 1)) return E_POINTER;
        if (!collection_) return E_FAIL;
        ULONG made = 0;
        for (; made < count && at_ != collection_->end(); ++made, ++at_) {
            Copy::init(&elements[made]);
            const HRESULT result = Copy::copy(&elements[made], &*at_);
            if (FAILED(result)) {
                for (ULONG i = 0; i < made; ++i) Copy::destroy(&elements[i]);
                Copy::init(&elements[made]);
                return result;
            }
        }
        if (fetched) *fetched = made;
        return made == count ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        if (!collection_) return E_FAIL;
        ULONG skipped = 0;
        for (; skipped < count && at_ != collection_->end(); ++skipped) ++at_;
        return skipped == count ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Reset() override {
        if (!collection_) return E_FAIL;
        at_ = collection_->begin();
        return S_OK;
    }

    // A new enumerator over the same collection and owner, at the same
    // position.
    HRESULT STDMETHODCALLTYPE Clone(Interface** copy) override {
        if (!copy) return E_POINTER;
        *copy = nullptr;
        if (!collection_) return E_FAIL;
        CComObject<self>* made = nullptr;
        HRESULT result = CComObject<self>::CreateInstance(&made);
        if (FAILED(result)) return result;
        made->AddRef();
        made->Init(owner_, *collection_);
        made->at_ = at_;
        result = made->QueryInterface(win_com::interface_traits<Interface>::iid,
                                      reinterpret_cast<void**>(copy));
        made->Release();
        return result;
    }

private:
    IUnknown* owner_ = nullptr;
    Collection* collection_ = nullptr;
    typename Collection::iterator at_{};
};
