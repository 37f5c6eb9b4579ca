// The stream over a remote file, against the stand-in service: reads and
// copies byte for byte, the switch to writing, the optional out pointers,
// and failures shown with Retry and Cancel or kept when silent.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <random>

#include "folder/transfer/stream_impl.h"
#include "service_fixture.h"
#include "vfs/calvimora_client.h"
#include "vfs/calvimora_exception.h"
#include "vfs/calvimora_file.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/test_stream.h"
#include "win/user.h"

namespace {

using calvimora::testing::request_fault;

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string pattern(std::size_t size) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

class StreamImplTest : public ::testing::Test {
protected:
    StreamImplTest() {
        service_.export_url();
        owner_ = service_.add_user("alice", "secret");
        session_ = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
    }

    ~StreamImplTest() override {
        if (stream_) stream_->Release();
    }

    vfs::file_ptr remote_file(const std::string& name, const std::string& content) {
        const std::string id = service_.add_file(owner_, "0", name, content);
        vfs_calvimora::file_record record;
        record.id = widen(id);
        record.name = widen(name);
        record.location = widen("/files/" + id);
        record.size = static_cast<std::int64_t>(content.size());
        ids_[name] = id;
        return boost::make_shared<vfs_calvimora::file>(*session_, record, 0, L"");
    }

    // A stream made as the extension makes it, initialised with the file.
    HRESULT open_stream(const vfs::file_ptr& file, bool silent = false) {
        CComObject<CStreamImpl>* made = nullptr;
        EXPECT_EQ(CComObject<CStreamImpl>::CreateInstance(&made), S_OK);
        made->AddRef();
        impl_ = made;
        stream_ = made;
        if (silent) impl_->SetSilent();
        return impl_->Init(file);
    }

    void release_stream() {
        stream_->Release();
        stream_ = nullptr;
        impl_ = nullptr;
    }

    std::string read_all(ULONG chunk) {
        std::string out;
        std::string buffer(chunk, '\0');
        for (;;) {
            ULONG got = 0;
            const HRESULT result = stream_->Read(buffer.data(), chunk, &got);
            EXPECT_TRUE(SUCCEEDED(result));
            if (result != S_OK) return out;
            out.append(buffer.data(), got);
        }
    }

    void arm_error(const std::string& action, const std::string& description) {
        request_fault fault;
        fault.target = action;
        fault.kind = "error";
        fault.error_name = "Refused";
        fault.error_description = description;
        service_.arm(fault);
    }

    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    std::string owner_;
    vfs_calvimora::client_ptr session_;
    std::map<std::string, std::string> ids_;
    CStreamImpl* impl_ = nullptr;
    IStream* stream_ = nullptr;
};

TEST_F(StreamImplTest, ReadsTheFileByteForByteAndThenReportsItsEnd) {
    const std::string content = pattern(70000);
    ASSERT_EQ(open_stream(remote_file("a.bin", content)), S_OK);

    EXPECT_EQ(read_all(5000), service_.file_content(ids_["a.bin"]));
    EXPECT_EQ(service_.file_content(ids_["a.bin"]), content);

    char byte = 0;
    ULONG got = 7;
    EXPECT_EQ(stream_->Read(&byte, 1, &got), S_FALSE);
    EXPECT_EQ(got, 0u);
    // The count is optional, and a missing buffer is refused.
    EXPECT_EQ(stream_->Read(&byte, 1, nullptr), S_FALSE);
    EXPECT_EQ(stream_->Read(nullptr, 1, &got), E_POINTER);
}

TEST_F(StreamImplTest, CopyToMovesExactlyTheAskedBytesInBlocksOf4096) {
    const std::string content = pattern(20000);
    ASSERT_EQ(open_stream(remote_file("big.bin", content)), S_OK);
    win_test::test_stream target;

    ULARGE_INTEGER size{}, read{}, written{};
    size.QuadPart = 10000;
    ASSERT_EQ(stream_->CopyTo(&target, size, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 10000u);
    EXPECT_EQ(written.QuadPart, 10000u);
    EXPECT_EQ(std::string(target.bytes.begin(), target.bytes.end()), content.substr(0, 10000));

    // The rest: the end of the file ends the copy, and the totals are
    // optional.
    size.QuadPart = 1 << 20;
    ASSERT_EQ(stream_->CopyTo(&target, size, nullptr, nullptr), S_OK);
    EXPECT_EQ(std::string(target.bytes.begin(), target.bytes.end()), content);
    EXPECT_EQ(target.references(), 0u);
}

TEST_F(StreamImplTest, CopyToATargetThatTakesLessEndsWithMediumFull) {
    ASSERT_EQ(open_stream(remote_file("c.bin", pattern(9000))), S_OK);
    win_test::test_stream target;
    target.short_write_after = 5000;

    ULARGE_INTEGER size{}, read{}, written{};
    size.QuadPart = 9000;
    EXPECT_EQ(stream_->CopyTo(&target, size, &read, &written), STG_E_MEDIUMFULL);
    EXPECT_EQ(read.QuadPart, 8192u);
    EXPECT_EQ(written.QuadPart, 5000u);
    EXPECT_EQ(stream_->CopyTo(nullptr, size, &read, &written), E_POINTER);
}

TEST_F(StreamImplTest, AFirstWriteAtTheStartReplacesTheContentAndCommitUploadsIt) {
    ASSERT_EQ(open_stream(remote_file("w.txt", "old content that is longer")), S_OK);
    const std::string text = "new";
    ULONG written = 0;
    ASSERT_EQ(stream_->Write(text.data(), 3, &written), S_OK);
    EXPECT_EQ(written, 3u);
    ASSERT_EQ(stream_->Write("!", 1, nullptr), S_OK);
    ASSERT_EQ(stream_->Commit(0), S_OK);
    EXPECT_EQ(service_.file_content(ids_["w.txt"]), "new!");
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(StreamImplTest, AFirstWriteAfterTheStartIsRefusedAndTheFileIsKept) {
    const std::string content = pattern(300);
    ASSERT_EQ(open_stream(remote_file("keep.bin", content)), S_OK);
    char buffer[100];
    ASSERT_EQ(stream_->Read(buffer, 100, nullptr), S_OK);

    ULONG written = 9;
    EXPECT_EQ(stream_->Write("x", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    // Still open for reading where it was.
    EXPECT_EQ(read_all(4096), content.substr(100));
    release_stream();
    EXPECT_EQ(service_.file_content(ids_["keep.bin"]), content);
}

TEST_F(StreamImplTest, AFailedCommitIsReturnedAndShownWithTheFileName) {
    ASSERT_EQ(open_stream(remote_file("up.txt", "before")), S_OK);
    ASSERT_EQ(stream_->Write("after", 5, nullptr), S_OK);
    arm_error("close_file_upload", "No room for it");
    std::vector<std::wstring> texts;
    win_test::scoped_message_box_responder answer(
        [&](const std::wstring& text, const std::wstring& caption, UINT type) {
            texts.push_back(caption + L"|" + text + L"|" + std::to_wstring(type));
            return IDCANCEL;
        });

    EXPECT_EQ(stream_->Commit(0), E_FAIL);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], L"Error|Can't close 'up.txt': No room for it|" + std::to_wstring(0x1015));
    EXPECT_EQ(service_.file_content(ids_["up.txt"]), "before");
}

TEST_F(StreamImplTest, RetryRepeatsTheFailedStepOfTheSwitchToWriting) {
    ASSERT_EQ(open_stream(remote_file("r.txt", "old")), S_OK);
    arm_error("open_file_upload", "Busy");
    std::vector<std::wstring> texts;
    win_test::scoped_message_box_responder answer(
        [&](const std::wstring& text, const std::wstring&, UINT) {
            texts.push_back(text);
            return IDRETRY;
        });

    ASSERT_EQ(stream_->Write("fresh", 5, nullptr), S_OK);
    ASSERT_EQ(stream_->Commit(0), S_OK);
    EXPECT_EQ(texts, std::vector<std::wstring>{L"Can't write to 'r.txt': Busy"});
    EXPECT_EQ(service_.file_content(ids_["r.txt"]), "fresh");
}

TEST_F(StreamImplTest, AnOpeningThatFailsAsksAndCancelGivesUp) {
    const vfs::file_ptr file = remote_file("o.txt", "x");
    arm_error("open_file_download", "Gone away");
    int asked = 0;
    win_test::scoped_message_box_responder answer(
        [&](const std::wstring& text, const std::wstring&, UINT) {
            ++asked;
            EXPECT_EQ(text, L"Can't open 'o.txt': Gone away");
            return IDCANCEL;
        });
    EXPECT_EQ(open_stream(file), E_FAIL);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(file->get_mode(), 0);
}

TEST_F(StreamImplTest, SilentFailuresAreKeptForGetErrorAlwaysTerminated) {
    const vfs::file_ptr file = remote_file("s.txt", "x");
    CComObject<CStreamImpl>* made = nullptr;
    ASSERT_EQ(CComObject<CStreamImpl>::CreateInstance(&made), S_OK);
    made->AddRef();
    impl_ = made;
    stream_ = made;
    wchar_t message[8], description[64];
    EXPECT_EQ(impl_->GetError(message, description, 8, 64), E_FAIL);

    impl_->SetSilent();
    arm_error("open_file_download", "Gone away");
    EXPECT_EQ(impl_->Init(file), E_FAIL);
    EXPECT_TRUE(win_test::message_boxes().empty());

    std::fill(std::begin(message), std::end(message), L'#');
    ASSERT_EQ(impl_->GetError(message, description, 4, 64), S_OK);
    EXPECT_EQ(std::wstring(message), L"Ref");
    EXPECT_EQ(message[4], L'#') << "written beyond the given length";
    EXPECT_EQ(std::wstring(description), L"Gone away");
    EXPECT_EQ(impl_->GetError(message, description, 0, 64), E_INVALIDARG);
}

TEST_F(StreamImplTest, StatClearsTheRecordAndSeekAnswersOnlyWhenAsked) {
    ASSERT_EQ(open_stream(remote_file("st.bin", pattern(1234))), S_OK);
    STATSTG statistics;
    std::memset(&statistics, 0xAB, sizeof statistics);
    ASSERT_EQ(stream_->Stat(&statistics, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(statistics.cbSize.QuadPart, 1234u);
    EXPECT_EQ(statistics.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(statistics.pwcsName, nullptr);
    EXPECT_EQ(statistics.grfMode, 0u);
    EXPECT_EQ(stream_->Stat(nullptr, 0), E_POINTER);

    LARGE_INTEGER none{};
    EXPECT_EQ(stream_->Seek(none, STREAM_SEEK_CUR, nullptr), S_OK);
    ULARGE_INTEGER position{};
    position.QuadPart = 99;
    EXPECT_EQ(stream_->Seek(none, 7, &position), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(position.QuadPart, 0u);
}

}  // namespace
