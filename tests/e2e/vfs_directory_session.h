// A stand-in service with the user "alice" logged in, and helpers that
// script the service's next reply to an action and read the request log.
#pragma once

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <string>
#include <vector>

#include "service_fixture.h"
#include "vfs/calvimora_client.h"
#include "vfs/calvimora_directory.h"
#include "vfs/calvimora_exception.h"
#include "vfs/file.h"

namespace calvimora::testing {

class directory_session_test : public ::testing::Test {
protected:
    directory_session_test() {
        service_.export_url();
        alice_ = service_.add_user("alice", "secret", "alice@example.com");
        session_ = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
        service_.requests(true);
    }

    // An own folder of alice's, made on the service.
    boost::shared_ptr<vfs_calvimora::directory> make_folder(const std::string& name,
                                                            const std::string& parent = "0") {
        vfs_calvimora::directory_record record;
        record.id = widen(service_.add_folder(alice_, parent, name));
        record.name = widen(name);
        return boost::make_shared<vfs_calvimora::directory>(*session_, record);
    }

    // The next reply to action is body, whatever the service would answer.
    void script(const std::string& action, const std::string& body) {
        request_fault fault;
        fault.target = action;
        fault.kind = "garbage";
        fault.body = body;
        service_.arm(fault);
    }

    // The requests since the last call, and the actions among them.
    std::vector<logged_request> take_requests() { return service_.requests(true); }
    std::vector<std::string> take_actions() {
        std::vector<std::string> actions;
        for (const logged_request& request : take_requests()) {
            actions.push_back(request.action);
        }
        return actions;
    }

    static std::wstring widen(const std::string& text) {
        return std::wstring(text.begin(), text.end());
    }

    static std::string narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }

    static std::vector<std::wstring> names(const vfs::item_list& items) {
        std::vector<std::wstring> result;
        for (const vfs::item_ptr& item : items) {
            result.push_back(item->get_name());
        }
        return result;
    }

    service service_;
    std::string alice_;
    vfs_calvimora::client_ptr session_;
};

inline std::string folder_xml(const std::string& id, const std::string& name,
                              const std::string& fields = "") {
    return "<Directory><ID>" + id + "</ID><Name>" + name + "</Name>" + fields + "</Directory>";
}

inline std::string file_xml(const std::string& id, const std::string& name,
                            const std::string& fields = "") {
    return "<File><ID>" + id + "</ID><Name>" + name + "</Name>" + fields + "</File>";
}

inline std::string result_xml(const std::string& content) {
    return "<Result>" + content + "</Result>";
}

}  // namespace calvimora::testing
