// Kernel objects of the Windows API subset: named and unnamed mutexes,
// events and page-file mappings in the log-on session's namespace, waits,
// threads, critical sections and Sleep.
//
// Names may carry the "Local\" or "Global\" prefix or none; all three reach
// the same session namespace. A named object exists while some live process
// holds a handle or a mapped view of it; a process that dies releases its
// handles (a mutex it owned becomes abandoned).
#pragma once

#include "win/base.h"
#include "win/handle.h"

// Mutex access rights.
#define MUTEX_MODIFY_STATE 0x0001u
#define MUTEX_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | MUTEX_MODIFY_STATE)

// Event access rights.
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS (STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0x0003u)

// Page protections (CreateFileMappingW).
#define PAGE_NOACCESS 0x01u
#define PAGE_READONLY 0x02u
#define PAGE_READWRITE 0x04u

// Section access rights (OpenFileMappingW, MapViewOfFile).
#define SECTION_QUERY 0x0001u
#define SECTION_MAP_WRITE 0x0002u
#define SECTION_MAP_READ 0x0004u
#define SECTION_MAP_EXECUTE 0x0008u
#define SECTION_EXTEND_SIZE 0x0010u
#define SECTION_ALL_ACCESS                                                             \
    (STANDARD_RIGHTS_REQUIRED | SECTION_QUERY | SECTION_MAP_WRITE | SECTION_MAP_READ | \
     SECTION_MAP_EXECUTE | SECTION_EXTEND_SIZE)
#define FILE_MAP_COPY SECTION_QUERY
#define FILE_MAP_WRITE SECTION_MAP_WRITE
#define FILE_MAP_READ SECTION_MAP_READ
#define FILE_MAP_ALL_ACCESS SECTION_ALL_ACCESS

// Thread creation flags.
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u

// Exit code of a thread or process that is still running.
#define STILL_ACTIVE 259u

// Mutexes. CreateMutexW of an existing name opens it (ERROR_ALREADY_EXISTS,
// initial_owner ignored); a name held by another kind of object fails with
// ERROR_INVALID_HANDLE. OpenMutexW of a missing name fails with
// ERROR_FILE_NOT_FOUND. ReleaseMutex by a thread that does not own the mutex
// fails with ERROR_NOT_OWNER. A mutex whose owning thread ended (or whose
// owner's process died) without releasing it goes to the next waiter with
// WAIT_ABANDONED; its object then lives on until this process ends.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initial_owner, LPCWSTR name);
HANDLE OpenMutexW(DWORD desired_access, BOOL inherit_handle, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

// Events, auto-reset (one waiter released per SetEvent) or manual-reset
// (signalled until ResetEvent). Names as for mutexes.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES attributes, BOOL manual_reset, BOOL initial_state,
                    LPCWSTR name);
HANDLE OpenEventW(DWORD desired_access, BOOL inherit_handle, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// Mappings backed by the page file (file == INVALID_HANDLE_VALUE; any other
// file fails with ERROR_NOT_SUPPORTED): a new one is zero-filled; an
// existing name opens it with its own size. A view keeps the object alive
// after its handle is closed. MapViewOfFile with bytes == 0 maps from the
// offset to the end of the object; a view past the end fails with
// ERROR_ACCESS_DENIED. Views are always readable and writable: the
// protection and access asked for are not enforced.
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES attributes, DWORD protect,
                          DWORD maximum_size_high, DWORD maximum_size_low, LPCWSTR name);
HANDLE OpenFileMappingW(DWORD desired_access, BOOL inherit_handle, LPCWSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD desired_access, DWORD offset_high, DWORD offset_low,
                     SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID base_address);

// Waits on mutexes, events, threads and processes. A signalled mutex is
// taken by the waiting thread; WAIT_ABANDONED(_0 + i) when its previous owner
// ended without releasing it. WaitForMultipleObjects waits for any one object
// (the lowest signalled index wins; an abandonment among several objects is
// noticed within some tens of milliseconds); wait_all is supported for one
// object only (ERROR_INVALID_PARAMETER otherwise).
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL wait_all, DWORD milliseconds);

// Threads. The handle is signalled once the thread has ended and stays so.
// Creation flags other than STACK_SIZE_PARAM_IS_A_RESERVATION (a suspended
// start) fail with ERROR_NOT_SUPPORTED.
typedef DWORD(WINAPI* PTHREAD_START_ROUTINE)(LPVOID parameter);
typedef PTHREAD_START_ROUTINE LPTHREAD_START_ROUTINE;
HANDLE CreateThread(LPSECURITY_ATTRIBUTES attributes, SIZE_T stack_size,
                    LPTHREAD_START_ROUTINE start_address, LPVOID parameter, DWORD creation_flags,
                    LPDWORD thread_id);
// The C runtime's thread start: the same, with the handle as an integer (0 on
// failure).
uintptr_t _beginthreadex(void* security, unsigned stack_size, unsigned (*start_address)(void*),
                         void* argument, unsigned init_flag, unsigned* thread_id);
// STILL_ACTIVE while the thread runs, then its return value.
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exit_code);

DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

void Sleep(DWORD milliseconds);

// Recursive in-process lock. The storage is opaque; only the functions below
// touch it.
typedef struct _CRITICAL_SECTION {
    alignas(16) unsigned char opaque[64];
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
