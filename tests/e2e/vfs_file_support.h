// A stand-in service with the user "alice" logged in, her own files as file
// objects, and helpers that move contents through them in chunks.
#pragma once

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <functional>
#include <random>
#include <string>

#include "crypt/md5.h"
#include "service_fixture.h"
#include "vfs/calvimora_client.h"
#include "vfs/calvimora_exception.h"
#include "vfs/calvimora_file.h"

namespace calvimora::testing {

typedef boost::shared_ptr<vfs_calvimora::file> own_file_ptr;

class file_session_test : public ::testing::Test {
protected:
    file_session_test() {
        service_.export_url();
        alice_ = service_.add_user("alice", "secret");
        log_in();
    }

    void log_in() { session_ = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1"); }

    // A file of alice's in her root holding content, as a listing makes it.
    own_file_ptr stored_file(const std::string& name, const std::string& content) {
        const std::string id = service_.add_file(alice_, "0", name, content);
        return file_object(id, name);
    }

    own_file_ptr file_object(const std::string& id, const std::string& name) {
        vfs_calvimora::file_record record;
        record.id = widen(id);
        record.name = widen(name);
        record.location = widen("/files/" + id);
        record.size = service_.file_info(id).size;
        return boost::make_shared<vfs_calvimora::file>(*session_, record, 0, L"");
    }

    // Bytes that differ from one call to the next.
    static std::string pattern(std::size_t size, unsigned seed) {
        std::mt19937 random(seed);
        std::string bytes(size, '\0');
        for (char& c : bytes) c = static_cast<char>(random());
        return bytes;
    }

    // Reads until read answers less than a chunk.
    static std::string read_all(vfs::file& file, int chunk) {
        std::string out;
        std::string buffer(static_cast<std::size_t>(chunk), '\0');
        for (;;) {
            const int got = file.read(buffer.data(), chunk);
            out.append(buffer.data(), static_cast<std::size_t>(got));
            if (got < chunk) return out;
        }
    }

    static void write_all(vfs::file& file, const std::string& data, int chunk) {
        for (std::size_t at = 0; at < data.size(); at += static_cast<std::size_t>(chunk)) {
            const int n = static_cast<int>(std::min<std::size_t>(chunk, data.size() - at));
            ASSERT_EQ(n, file.write(data.data() + at, n));
        }
    }

    static std::string md5(const std::string& bytes) { return cm_crypt::md5(bytes).digest(); }

    // The text of the vfs::exception that call throws ("" when none).
    static std::wstring failure_text(const std::function<void()>& call) {
        try {
            call();
        } catch (const vfs::exception& failure) {
            return failure.get_title() + L": " + failure.get_text();
        }
        return L"";
    }

    static std::wstring widen(const std::string& text) {
        return std::wstring(text.begin(), text.end());
    }

    static std::string narrow(const std::wstring& text) {
        return std::string(text.begin(), text.end());
    }

    service service_;
    std::string alice_;
    vfs_calvimora::client_ptr session_;
};

// Compares bytes without printing megabytes when they differ.
inline ::testing::AssertionResult same_bytes(const std::string& expected,
                                             const std::string& actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
    return ::testing::AssertionFailure() << "sizes " << expected.size() << " and " << actual.size()
                                         << ", first difference at " << at;
}

}  // namespace calvimora::testing
