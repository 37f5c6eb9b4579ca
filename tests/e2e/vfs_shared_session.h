// Several users of the stand-in service: alice logged in, bob and carol who
// may share folders with her, and helpers that walk the remote tree by
// names and check which keys the requests carried.
#pragma once

#include <gtest/gtest.h>

#include <boost/pointer_cast.hpp>
#include <map>
#include <string>
#include <vector>

#include "vfs_directory_session.h"

namespace calvimora::testing {

typedef std::map<std::string, std::string> key_values;

class multi_user_test : public directory_session_test {
protected:
    multi_user_test()
        : bob_(service_.add_user("bob", "pw-b")), carol_(service_.add_user("carol", "pw-c")) {}

    // The folder or file of that name in folder, from its cache when it has
    // one.
    static vfs::directory_ptr folder_in(const vfs::directory_ptr& folder,
                                        const std::wstring& name) {
        auto found = boost::dynamic_pointer_cast<vfs::directory>(folder->get_item(name, false));
        EXPECT_TRUE(found) << narrow(name) << " is not a folder";
        return found;
    }
    static boost::shared_ptr<vfs::file> file_in(const vfs::directory_ptr& folder,
                                                const std::wstring& name) {
        auto found = boost::dynamic_pointer_cast<vfs::file>(folder->get_item(name, false));
        EXPECT_TRUE(found) << narrow(name) << " is not a file";
        return found;
    }

    // The actions of the requests since the last call that lack one of
    // the keys or carry another value for it.
    std::vector<std::string> requests_without(const key_values& keys) {
        std::vector<std::string> missing;
        for (const logged_request& request : take_requests()) {
            for (const auto& [key, value] : keys) {
                const auto found = request.params.find(key);
                if (found == request.params.end() || found->second != value) {
                    missing.push_back(request.action + " (" + key + ")");
                }
            }
        }
        return missing;
    }

    // The actions of the requests since the last call that carry one of
    // the keys.
    std::vector<std::string> requests_carrying(const std::vector<std::string>& keys) {
        std::vector<std::string> carrying;
        for (const logged_request& request : take_requests()) {
            for (const std::string& key : keys) {
                if (request.params.count(key) != 0) {
                    carrying.push_back(request.action);
                    break;
                }
            }
        }
        return carrying;
    }

    // The parameters of the only request since the last call.
    key_values only_request() {
        const std::vector<logged_request> requests = take_requests();
        EXPECT_EQ(1u, requests.size());
        return requests.empty() ? key_values() : key_values(requests.back().params);
    }

    // The keys of params that start with one of the prefixes.
    static std::vector<std::string> keys_starting(const key_values& params,
                                                  const std::vector<std::string>& prefixes) {
        std::vector<std::string> keys;
        for (const auto& [key, value] : params) {
            for (const std::string& prefix : prefixes) {
                if (key.rfind(prefix, 0) == 0) {
                    keys.push_back(key);
                    break;
                }
            }
        }
        return keys;
    }

    // The "title: text" of the vfs::exception that call throws ("" when none).
    template <typename Call>
    static std::wstring failure_of(Call call) {
        try {
            call();
        } catch (const vfs::exception& failure) {
            return failure.get_title() + L": " + failure.get_text();
        }
        return L"";
    }

    // The whole content of a file, downloaded.
    static std::string read_through(vfs::file& file) {
        file.open(vfs::modeRead, 0);
        std::string content;
        char buffer[4096];
        for (int got; (got = file.read(buffer, sizeof buffer)) > 0;) {
            content.append(buffer, static_cast<std::size_t>(got));
        }
        file.close(-1);
        return content;
    }

    // Uploads content into a file that is open for writing and commits it.
    static void write_through(vfs::file& file, const std::string& content) {
        EXPECT_EQ(static_cast<int>(content.size()),
                  file.write(content.data(), static_cast<int>(content.size())));
        file.close(1000);
    }

    std::string bob_;
    std::string carol_;
};

// bob shares his folder "Projects" with alice for full use, carol her
// folder "Photos" for viewing only; alice has a folder and a file of her
// own.
//   bob:   Projects/readme.txt, Projects/Plans/Deep/deep.txt
//   carol: Photos/cat.jpg
//   alice: Mine/, own.txt
class shared_tree_test : public multi_user_test {
protected:
    shared_tree_test()
        : projects_(service_.add_folder(bob_, "0", "Projects")),
          plans_(service_.add_folder(bob_, projects_, "Plans")),
          deep_(service_.add_folder(bob_, plans_, "Deep")),
          photos_(service_.add_folder(carol_, "0", "Photos")),
          mine_(service_.add_folder(alice_, "0", "Mine")) {
        service_.add_file(bob_, projects_, "readme.txt", "read me");
        service_.add_file(bob_, deep_, "deep.txt", "deep content");
        service_.add_share(bob_, projects_, alice_, 1);
        service_.add_file(carol_, photos_, "cat.jpg", "meow");
        service_.add_share(carol_, photos_, alice_, 0);
        service_.add_file(alice_, "0", "own.txt", "own");
    }

    vfs::directory_ptr container() {
        return folder_in(session_->get_root_directory(), L"Shared Folders");
    }
    vfs::directory_ptr projects() { return folder_in(folder_in(container(), L"bob"), L"Projects"); }
    vfs::directory_ptr photos() { return folder_in(folder_in(container(), L"carol"), L"Photos"); }

    key_values bobs_share() const { return {{"share_user_id", bob_}, {"share_id", projects_}}; }

    const std::string projects_;
    const std::string plans_;
    const std::string deep_;
    const std::string photos_;
    const std::string mine_;
};

}  // namespace calvimora::testing
