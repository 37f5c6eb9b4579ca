// The small object through which the tray program reaches the remote
// storage client. Every operation but the opening of the folder and the
// automatic log-in swallows the client's exceptions, so a failing client
// looks like a logged-out one. Tests put a scripted one in its place.
#pragma once

#include <string>
#include <vector>

#include "vfs/client.h"
#include "win/base.h"

class CSessionFacade {
public:
    // The module from whose folder the client starts the sibling programs.
    explicit CSessionFacade(HINSTANCE instance) : instance_(instance) {}
    virtual ~CSessionFacade() = default;
    CSessionFacade(const CSessionFacade&) = delete;
    CSessionFacade& operator=(const CSessionFacade&) = delete;

    // False when the test fails.
    virtual bool IsLoggedIn();
    virtual void LogOff();
    // The logged-in user's name; empty when it cannot be had.
    virtual std::wstring GetUserInfo();
    // The service's notifications for the user; empty when they cannot be
    // had.
    virtual std::vector<vfs::notification> GetNotifications();
    // Logs in with the service; the client's failure passes on.
    virtual void Login(const std::wstring& user_name, const std::wstring& password);
    // Opens the virtual folder in Explorer (suffix: a path below it). When
    // nobody is logged in, the folder is enumerated first, which makes the
    // shell extension ask for a login; it is opened only when that
    // succeeds. Failures throw CTrayError.
    virtual void OpenCalvimoraFolder(const std::wstring& suffix);

protected:
    HINSTANCE instance_;
};
