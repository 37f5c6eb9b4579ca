// The log-on session as each process of it sees it: whether somebody is
// logged in, logging in and off, and the process's current session. The
// tray program and the shell extension pass their own module, from whose
// folder the sibling programs are started.
//
// A process counts as logged in when the tray program and the session
// handler run and the shared user record holds a user id. A process that
// finds the record filled but holds no matching session of its own rebuilds
// one with "restore_session", without the password.
#pragma once

#include <mutex>
#include <string>

#include "vfs/calvimora_client.h"
#include "win/base.h"

namespace vfs_calvimora {

// Starts the tray program when it does not run (a failure to start or await
// it throws ("Internal error", "Unable to check/start internal processes:
// ...")); never starts the session handler. Any failure to read the record
// counts as not logged in.
bool is_logged_in(HMODULE module);

// Logs in with the service, writes the shared record (starting the session
// handler when needed) and makes the new session the process's current one.
// Throws ("Login failed", "Already logged in") when somebody is, and the
// service's or the request layer's failures; a failure changes nothing.
void login(HMODULE module, const std::wstring& user_name, const std::wstring& password);

// The process's current session, rebuilt when it holds none or its user
// differs from the shared record. Throws ("Get connection from cache
// failed", "Not logged in").
client_ptr get_client(HMODULE module);

// The shared record's user. Throws ("Get user_info failed", "Not logged in").
vfs::user_info get_user_info(HMODULE module);

// Signals the session handler to end the log-on session and drops the
// current session. Throws ("Logoff failed", "Not logged in"), or ("Session
// manager failed", ...) when the session handler cannot be reached.
void logoff(HMODULE module);

// The process-wide client lock: held through login, get_client, logoff and
// a whole client::get_item_by_path walk.
std::mutex& client_lock();

}  // namespace vfs_calvimora
