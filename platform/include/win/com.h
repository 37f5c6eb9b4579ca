// COM library initialisation, counted per thread as the system does.
#pragma once

#include "win/base.h"
#include "win/guid.h"

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_DISABLE_OLE1DDE 0x4u
#define COINIT_SPEED_OVER_MEMORY 0x8u

// S_OK for the first initialisation of a thread, S_FALSE for each further
// one (each needs its CoUninitialize); RPC_E_CHANGED_MODE (not counted) when
// the thread is already initialised in the other threading model;
// E_INVALIDARG when reserved is not null.
HRESULT CoInitialize(LPVOID reserved);  // apartment-threaded
HRESULT CoInitializeEx(LPVOID reserved, DWORD model);

// Undoes one successful initialisation of the calling thread; does nothing
// on a thread that is not initialised.
void CoUninitialize();
