// Calls into an object of a single-threaded apartment from another thread:
// they run on the owner's thread, only while the owner retrieves messages,
// and fail once the owner's apartment has ended.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <thread>

#include "win/async_operation.h"
#include "win/data_object.h"
#include "win/global_memory.h"
#include "win/kernel.h"
#include "win/persist.h"
#include "win/shell_thread.h"
#include "win/user.h"

namespace {

using namespace std::chrono_literals;

// A data object that notes the thread of every call and offers one stream.
class thread_noting_object final : public IDataObject, public IAsyncOperation {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDataObject)
            *object = static_cast<IDataObject*>(this);
        else if (iid == IID_IAsyncOperation)
            *object = static_cast<IAsyncOperation*>(this);
        else
            *object = nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        note();
        return ++references;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        note();
        return --references;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        note();
        *medium = STGMEDIUM{};
        if (format->tymed & TYMED_ISTREAM) {
            HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 5);
            std::memcpy(GlobalLock(block), "bytes", 5);
            GlobalUnlock(block);
            medium->tymed = TYMED_ISTREAM;
            return CreateStreamOnHGlobal(block, TRUE, &medium->pstm);
        }
        return DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override {
        note();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* asynchronous) override {
        note();
        *asynchronous = TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT, IBindCtx*, DWORD) override { return S_OK; }

    void note() {
        if (GetCurrentThreadId() != owner) ++calls_elsewhere;
        ++calls;
    }

    const DWORD owner = GetCurrentThreadId();
    std::atomic<ULONG> references{1};
    std::atomic<int> calls{0};
    std::atomic<int> calls_elsewhere{0};
};

// Pumps the calling thread's messages until the condition holds; false
// when the deadline passed first.
bool pump_until(const std::function<bool()>& done, std::chrono::seconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    MSG message;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        std::this_thread::yield();
    }
    return true;
}

// Waits, without retrieving messages, until a message sent from another
// thread waits in the calling thread's queue.
bool wait_for_sent_message(std::chrono::seconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!(HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

class Apartments : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
    void TearDown() override { CoUninitialize(); }

    // The object wrapped here and unwrapped on a worker that entered COM
    // with the model given, and runs the work there.
    std::future<void> on_worker(DWORD model, std::function<void(IDataObject*)> work) {
        IStream* stream = nullptr;
        EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(
                      IID_IDataObject, static_cast<IDataObject*>(&object), &stream),
                  S_OK);
        object.calls = 0;
        return std::async(std::launch::async, [stream, model, work] {
            CoInitializeEx(nullptr, model);
            IDataObject* received = nullptr;
            EXPECT_EQ(CoGetInterfaceAndReleaseStream(stream, IID_IDataObject,
                                                     reinterpret_cast<void**>(&received)),
                      S_OK);
            work(received);
            CoUninitialize();
        });
    }

    thread_noting_object object;
};

TEST_F(Apartments, CallsThroughAProxyRunOnTheOwnerAndWaitUntilItPumps) {
    std::atomic<bool> answered{false};
    std::atomic<HRESULT> answer{E_FAIL};
    auto worker = on_worker(COINIT_APARTMENTTHREADED, [&](IDataObject* data) {
        EXPECT_NE(data, static_cast<IDataObject*>(&object)) << "a proxy, not the object";
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        answer = data->QueryGetData(&format);
        answered = true;
        data->Release();
    });
    // The owner does not pump: the call waits in its queue, not yet run.
    ASSERT_TRUE(wait_for_sent_message());
    EXPECT_FALSE(answered);
    EXPECT_EQ(object.calls, 0);
    ASSERT_TRUE(pump_until([&] { return worker.wait_for(0s) == std::future_status::ready; }));
    EXPECT_EQ(answer, S_OK);
    EXPECT_GT(object.calls, 0);
    EXPECT_EQ(object.calls_elsewhere, 0) << "every call ran on the owner's thread";
    EXPECT_EQ(object.references, 1u) << "the proxy let the object go";
}

TEST_F(Apartments, StreamsAndOtherInterfacesComeAsProxiesToo) {
    auto worker = on_worker(COINIT_APARTMENTTHREADED, [&](IDataObject* data) {
        IAsyncOperation* async = nullptr;
        ASSERT_EQ(data->QueryInterface(IID_IAsyncOperation, reinterpret_cast<void**>(&async)),
                  S_OK);
        BOOL mode = FALSE;
        EXPECT_EQ(async->GetAsyncMode(&mode), S_OK);
        EXPECT_TRUE(mode);
        IUnknown* identity = nullptr;
        IUnknown* again = nullptr;
        data->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
        async->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again));
        EXPECT_EQ(identity, again) << "one proxy per object";
        identity->Release();
        again->Release();
        async->Release();
        IPersist* other = nullptr;
        EXPECT_EQ(data->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&other)),
                  E_NOINTERFACE);

        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTREAM};
        STGMEDIUM medium{};
        ASSERT_EQ(data->GetData(&format, &medium), S_OK);
        ASSERT_EQ(medium.tymed, static_cast<DWORD>(TYMED_ISTREAM));
        char text[8] = {};
        ULONG read = 0;
        EXPECT_EQ(medium.pstm->Read(text, sizeof text, &read), S_OK);
        EXPECT_EQ(std::string(text, read), "bytes");
        HGLOBAL block = nullptr;
        EXPECT_EQ(GetHGlobalFromStream(medium.pstm, &block), E_INVALIDARG)
            << "the stream is a proxy of the owner's";
        ReleaseStgMedium(&medium);
        data->Release();
    });
    ASSERT_TRUE(pump_until([&] { return worker.wait_for(0s) == std::future_status::ready; }));
    EXPECT_EQ(object.calls_elsewhere, 0);
    EXPECT_EQ(object.references, 1u);
}

// The owner's side of these runs on a thread of its own, so that its COM
// state is only its own.
TEST(ApartmentEnds, AnEndedApartmentDisconnectsItsProxiesAndLetsItsObjectsGo) {
    std::promise<IStream*> wrapped;
    std::promise<void> received, ended;
    std::atomic<ULONG> references_at_end{0};
    std::thread owner([&] {
        thread_noting_object object;
        CoInitialize(nullptr);
        IStream* stream = nullptr;
        CoMarshalInterThreadInterfaceInStream(IID_IDataObject, static_cast<IDataObject*>(&object),
                                              &stream);
        wrapped.set_value(stream);
        received.get_future().wait();
        CoUninitialize();
        references_at_end = object.references.load();
        ended.set_value();
    });
    CoInitialize(nullptr);
    IDataObject* proxy = nullptr;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(wrapped.get_future().get(), IID_IDataObject,
                                             reinterpret_cast<void**>(&proxy)),
              S_OK);
    received.set_value();
    ended.get_future().wait();
    owner.join();
    EXPECT_EQ(references_at_end, 1u) << "released when the apartment ended";
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(proxy->QueryGetData(&format), RPC_E_DISCONNECTED);
    proxy->Release();
    CoUninitialize();
}

TEST(ApartmentEnds, AnObjectOfAMultithreadedThreadIsHandedOverAsItIs) {
    std::thread([] {
        thread_noting_object object;
        IStream* stream = nullptr;
        EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(
                      IID_IDataObject, static_cast<IDataObject*>(&object), &stream),
                  CO_E_NOTINITIALIZED);
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(
                      IID_IDataObject, static_cast<IDataObject*>(&object), &stream),
                  S_OK);
        std::thread([&] {
            CoInitialize(nullptr);
            IDataObject* received = nullptr;
            EXPECT_EQ(CoGetInterfaceAndReleaseStream(stream, IID_IDataObject,
                                                     reinterpret_cast<void**>(&received)),
                      S_OK);
            EXPECT_EQ(received, static_cast<IDataObject*>(&object));
            if (received) received->Release();
            CoUninitialize();
        }).join();  // no pumping needed
        EXPECT_EQ(object.references, 1u);
        CoUninitialize();
    }).join();
}

TEST_F(Apartments, TheOwnerUnwrappingItsOwnObjectGetsTheObject) {
    IStream* stream = nullptr;
    ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDataObject,
                                                    static_cast<IDataObject*>(&object), &stream),
              S_OK);
    IDataObject* received = nullptr;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(stream, IID_IDataObject,
                                             reinterpret_cast<void**>(&received)),
              S_OK);
    EXPECT_EQ(received, static_cast<IDataObject*>(&object));
    received->Release();
}

}  // namespace
