// The operations of an own file that are requests to the service: the
// record setters, opening and closing with their checks, rewinding and
// copying, against the stand-in service.
#include <boost/make_shared.hpp>
#include <ctime>

#include "vfs/calvimora_directory.h"
#include "vfs_file_support.h"

namespace calvimora::testing {
namespace {

class file_operations_test : public file_session_test {
protected:
    void fail_next(const std::string& action) {
        request_fault fault;
        fault.target = action;
        fault.kind = "error";
        fault.error_name = "Refused";
        fault.error_description = "Not now";
        service_.arm(fault);
    }

    logged_request only_request() {
        const auto requests = service_.requests(true);
        EXPECT_EQ(1u, requests.size());
        return requests.empty() ? logged_request{} : requests.front();
    }
};

TEST_F(file_operations_test, ReadsItsRecordAndReportsUnknownDatesAsMinusOne) {
    vfs_calvimora::file_record record;
    record.id = L"77";
    record.date_modified = 1700000000;
    vfs_calvimora::file unknown(*session_, record, 0, L"");
    EXPECT_EQ(vfs::no_date, unknown.get_access_date());
    EXPECT_EQ(vfs::no_date, unknown.get_delete_date());
    EXPECT_EQ(vfs::no_date, unknown.get_creation_date());
    EXPECT_EQ(1700000000, unknown.get_modification_date());
    EXPECT_EQ(L"Internal error: file::is_bof(): Operation not implemented",
              failure_text([&] { unknown.is_bof(); }));
    EXPECT_EQ(L"Internal error: Wrong file open mode: only modeWrite|modeOverwrite is supported",
              failure_text([&] { vfs_calvimora::file(*session_, record, 1, L""); }));
}

TEST_F(file_operations_test, SettersKeepTheirValueOnlyOnceTheServiceAgreed) {
    auto file = stored_file("a.txt", "abc");
    service_.requests(true);

    file->set_price(2.5);
    EXPECT_EQ("2.5", only_request().params.at("price"));
    file->set_price(10.0);
    EXPECT_EQ("10", only_request().params.at("price"));
    fail_next("set_file_price");
    EXPECT_EQ(L"Refused: Not now", failure_text([&] { file->set_price(7); }));
    EXPECT_EQ(10.0, file->get_price());

    fail_next("set_file_description");
    EXPECT_NE(L"", failure_text([&] { file->set_description(L"new"); }));
    EXPECT_EQ(L"", file->get_description());
    file->set_access(vfs::access_hidden);
    EXPECT_EQ(vfs::access_hidden, file->get_access());

    // The date is kept even though the service refused it.
    service_.requests(true);
    fail_next("set_file_date");
    EXPECT_NE(L"", failure_text([&] { file->set_modification_date(1234); }));
    EXPECT_EQ(1234, file->get_modification_date());
    const logged_request date = only_request();
    EXPECT_EQ("1234", date.params.at("file_datetime"));
    EXPECT_EQ(narrow(file->get_id()), date.params.at("file_id"));

    EXPECT_EQ(L"/a.txt", file->get_path());
}

TEST_F(file_operations_test, OpenRefusesOtherModesAndASecondOpenBeforeAnyRequest) {
    auto file = stored_file("a.txt", "abc");
    service_.requests(true);
    for (const int mode : {2, 3}) {  // write alone; read with write
        EXPECT_EQ(L"Open failed: Invalid open mode", failure_text([&] { file->open(mode, 0); }));
        EXPECT_EQ("open_file_download", only_request().action);
        EXPECT_EQ(0, file->get_mode());
    }
    file->open(vfs::modeRead, 0);
    service_.requests(true);
    EXPECT_EQ(L"Open failed: File already opened",
              failure_text([&] { file->open(vfs::modeWrite | vfs::modeOverwrite, 3); }));
    EXPECT_TRUE(service_.requests(true).empty());
    file->close(-1);
    EXPECT_EQ("close_file_download", only_request().action);
    EXPECT_EQ(L"Close failed: File is not opened", failure_text([&] { file->close(-1); }));
}

TEST_F(file_operations_test, ClosingAnUploadReportsItsSizeAndTime) {
    auto file = stored_file("a.txt", "old content");
    file->open(vfs::modeWrite | vfs::modeOverwrite, 10);
    service_.requests(true);
    file->write("0123456789", 10);
    EXPECT_EQ(10, file->get_pos());
    file->close(1000);

    const logged_request close = only_request();
    EXPECT_EQ("close_file_upload", close.action);
    EXPECT_EQ("10", close.params.at("file_size"));
    EXPECT_EQ("1000", close.params.at("file_time"));
    EXPECT_EQ("0", close.params.at("is_pro"));
    EXPECT_EQ(0u, close.params.at("temp_location").rfind("/uploads/", 0));
    EXPECT_EQ(10, file->get_size());
    EXPECT_EQ(1000, file->get_modification_date());
    EXPECT_EQ(0, file->get_pos());
    EXPECT_EQ(0, file->get_mode());
    EXPECT_EQ("0123456789", service_.file_content(narrow(file->get_id())));

    // No time stamps the current one.
    const std::int64_t before = std::time(nullptr);
    file->open(vfs::modeWrite | vfs::modeOverwrite, 0);
    file->close(0);
    EXPECT_LE(before, file->get_modification_date());
    EXPECT_GE(std::time(nullptr), file->get_modification_date());
    EXPECT_EQ(0, file->get_size());
}

TEST_F(file_operations_test, SeekOnlyRewindsAndTheDownloadStartsOver) {
    const std::string content = pattern(50000, 5);
    auto file = stored_file("a.bin", content);
    file->open(vfs::modeRead, 0);
    EXPECT_EQ(L"Internal error: file::seek(): Operation not implemented",
              failure_text([&] { file->seek(5, vfs::seek_begin); }));
    std::string head(100, '\0');
    ASSERT_EQ(100, file->read(head.data(), 100));
    file->seek(0, vfs::seek_current);
    file->seek(100, vfs::seek_begin);
    EXPECT_EQ(100, file->get_pos());
    file->seek(0, vfs::seek_begin);
    EXPECT_EQ(0, file->get_pos());
    EXPECT_TRUE(same_bytes(content, read_all(*file, 3000)));
    file->close(-1);
}

TEST_F(file_operations_test, CopiesOnlyIntoAFolderOfTheService) {
    auto file = stored_file("a.txt", "abc");
    auto other = stored_file("b.txt", "def");
    service_.requests(true);
    EXPECT_EQ(L"Copy file failed: Wrong type of destination item",
              failure_text([&] { file->copy(other, false); }));
    EXPECT_TRUE(service_.requests(true).empty());

    vfs_calvimora::directory_record record;
    record.id = widen(service_.add_folder(alice_, "0", "Work"));
    auto work = boost::make_shared<vfs_calvimora::directory>(*session_, record);
    file->copy(work, true);
    const logged_request copy = only_request();
    EXPECT_EQ("copy_file", copy.action);
    EXPECT_EQ(narrow(record.id), copy.params.at("dst_dir_id"));
    EXPECT_EQ(narrow(file->get_id()), copy.params.at("src_file_id"));
    EXPECT_EQ("1", copy.params.at("move"));
    EXPECT_EQ("0", copy.params.at("is_pro"));
    const auto moved =
        service_.control("file", json_object().set("file_id", narrow(file->get_id())));
    EXPECT_EQ("/Work/a.txt", moved.get<std::string>("path"));
}

TEST_F(file_operations_test, AFileCreatedOpenTakesItsUploadAtOnce) {
    vfs_calvimora::directory_record record;
    record.id = L"0";
    auto root = boost::make_shared<vfs_calvimora::directory>(*session_, record);
    auto file =
        boost::dynamic_pointer_cast<vfs::file>(root->create_and_open_file(L"new.bin", 6, 5));
    ASSERT_TRUE(file);
    EXPECT_EQ(6, file->get_mode());
    file->write("hello", 5);
    file->close(-1);
    EXPECT_EQ("hello", service_.file_content(narrow(file->get_id())));
}

}  // namespace
}  // namespace calvimora::testing
