// The class library's enumerator over a collection: batches, the end, the
// owner it keeps alive, clones and failing copies.
#include <gtest/gtest.h>

#include <vector>

#include "win/atl_enum.h"
#include "win/shell_folder.h"
#include "win/test_journal.h"

namespace {

// Copies an int out as a task-allocated one; fails for negative values.
struct int_copy {
    static HRESULT copy(PITEMID_CHILD* to, const int* from) {
        if (*from < 0) return E_OUTOFMEMORY;
        auto* block = static_cast<int*>(CoTaskMemAlloc(sizeof(int)));
        *block = *from;
        *to = reinterpret_cast<PITEMID_CHILD>(block);
        return S_OK;
    }
    static void init(PITEMID_CHILD* element) { *element = nullptr; }
    static void destroy(PITEMID_CHILD* element) {
        CoTaskMemFree(*element);
        *element = nullptr;
    }
};

using int_enumerator = CComEnumOnSTL<IEnumIDList, PITEMID_CHILD, int_copy, std::vector<int>>;

struct owner_object final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

IEnumIDList* make(owner_object* owner, std::vector<int>& values) {
    CComObject<int_enumerator>* made = nullptr;
    EXPECT_EQ(CComObject<int_enumerator>::CreateInstance(&made), S_OK);
    made->AddRef();
    made->Init(owner, values);
    return made;
}

int value_of(PITEMID_CHILD element) {
    const int value = *reinterpret_cast<int*>(element);
    CoTaskMemFree(element);
    return value;
}

TEST(CollectionEnumerator, HandsOutBatchesUntilTheEndAndKeepsItsOwner) {
    owner_object owner;
    std::vector<int> values{1, 2, 3, 4, 5};
    IEnumIDList* enumerator = make(&owner, values);
    EXPECT_EQ(owner.references, 2u);

    PITEMID_CHILD out[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(enumerator->Next(3, out, nullptr), E_POINTER);
    EXPECT_EQ(enumerator->Next(3, nullptr, &fetched), E_POINTER);
    ASSERT_EQ(enumerator->Next(3, out, &fetched), S_OK);
    EXPECT_EQ(fetched, 3u);
    EXPECT_EQ(value_of(out[0]) + value_of(out[1]) + value_of(out[2]), 6);

    IEnumIDList* copy = nullptr;
    ASSERT_EQ(enumerator->Clone(&copy), S_OK);
    EXPECT_EQ(owner.references, 3u);
    ASSERT_EQ(enumerator->Next(3, out, &fetched), S_FALSE) << "two were left";
    EXPECT_EQ(fetched, 2u);
    EXPECT_EQ(value_of(out[0]), 4);
    EXPECT_EQ(value_of(out[1]), 5);
    EXPECT_EQ(enumerator->Next(1, out, nullptr), S_FALSE);

    ASSERT_EQ(copy->Next(1, out, nullptr), S_OK) << "the clone kept its position";
    EXPECT_EQ(value_of(out[0]), 4);
    EXPECT_EQ(copy->Skip(5), S_FALSE);
    ASSERT_EQ(copy->Reset(), S_OK);
    EXPECT_EQ(copy->Skip(2), S_OK);
    ASSERT_EQ(copy->Next(1, out, nullptr), S_OK);
    EXPECT_EQ(value_of(out[0]), 3);

    copy->Release();
    enumerator->Release();
    EXPECT_EQ(owner.references, 1u);
}

TEST(CollectionEnumerator, AFailedCopyFreesTheBatchAndReturnsTheFailure) {
    const long blocks = win_test::live_task_allocations();
    std::vector<int> values{1, 2, -3, 4};
    IEnumIDList* enumerator = make(nullptr, values);
    PITEMID_CHILD out[4] = {};
    ULONG fetched = 7;
    EXPECT_EQ(enumerator->Next(4, out, &fetched), E_OUTOFMEMORY);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(win_test::live_task_allocations(), blocks);
    enumerator->Release();
}

}  // namespace
