// Single-threaded apartments: the objects made on a thread that entered COM
// apartment-threaded belong to that thread, and other threads reach them
// only through proxies whose calls are delivered through the owner's
// message queue. The owner serves them when it retrieves messages (a
// message loop, a modal loop, a cross-thread send); an owner that blocks
// without pumping keeps its callers waiting, as on Windows.
#pragma once

#include <functional>
#include <memory>

#include "win/com.h"

namespace win_com {

class apartment;
using apartment_ptr = std::shared_ptr<apartment>;

// The calling thread's apartment, made on first use; null when the thread
// has not entered COM or entered it multithreaded.
apartment_ptr current_apartment();

// Whether the calling thread is the apartment's own.
bool runs_here(const apartment_ptr& owner);

// Runs the call on the apartment's thread: at once on that thread, else as
// a message sent to the apartment's window, the caller waiting and serving
// what other threads send to it meanwhile. RPC_E_DISCONNECTED once the
// apartment has ended; RPC_E_SERVERFAULT when the call threw.
HRESULT call_in(const apartment_ptr& owner, const std::function<HRESULT()>& call);

// An interface pointer of an object of the apartment for use in another:
// a proxy that holds the reference given (the pointer answers iid) and
// forwards its calls. E_NOINTERFACE, with the reference released in the
// apartment, for an interface no proxy is made for; a null out pointer
// only releases the reference there.
HRESULT make_proxy(const apartment_ptr& owner, IUnknown* object, REFIID iid, void** proxy);

// The apartment of the calling thread ends (its last CoUninitialize): the
// references its proxies hold are released here, on their own thread, and
// the proxies answer RPC_E_DISCONNECTED from then on.
void end_apartment();

}  // namespace win_com
