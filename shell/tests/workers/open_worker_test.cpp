// The open worker against a scripted remote tree: the download mutex is
// let go on every way out of a file, whatever the failure, and the local
// copies' dates round-trip through the file system exactly.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>

#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "folder/workers/open_files.h"
#include "folder_fakes.h"
#include "win/kernel.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/user_dialog.h"

namespace {

using namespace shell_testing;

// The remote root as the service names it: an empty path.
class root_folder : public steered_folder {
public:
    using steered_folder::steered_folder;
    std::wstring get_path() override { return L""; }
};

// A file whose date cannot be read: the client throws a bare text when
// memory runs out, which no step of the transfer knows.
class failing_file : public fake_file {
public:
    using fake_file::fake_file;
    // Once the selection is made: its item id reads the date too.
    std::atomic<bool> armed{false};
    std::int64_t get_modification_date() override {
        if (armed) throw std::wstring(L"Out of memory");
        return modified;
    }
};

class OpenWorker : public FolderTest {
protected:
    OpenWorker()
        : mutex_(CreateMutexW(nullptr, FALSE, download_upload_mutex_name)),
          root_list_(reinterpret_cast<LPCITEMIDLIST>(junction.data()), true) {
        SHSetInstanceExplorer(&process_);
        win_test::clear_message_boxes();
    }
    ~OpenWorker() override {
        SHSetInstanceExplorer(nullptr);
        CloseHandle(mutex_);
    }

    // Open on the items of the folder, waited for.
    void open(
        const boost::shared_ptr<steered_folder>& folder, const vfs::item_list& items,
        const std::function<void()>& before_start = [] {}) {
        std::vector<LPITEMIDLIST> lists;
        for (const vfs::item_ptr& item : items) lists.push_back(child_list(item));
        CComObject<CDataObjectImpl>* object = nullptr;
        ASSERT_EQ(create_data_object(folder, root_list_, CItemIdList(), nullptr,
                                     const_cast<const LPCITEMIDLIST*>(lists.data()),
                                     static_cast<UINT>(lists.size()), &object),
                  S_OK);
        before_start();
        EXPECT_EQ(object->start_open_files(nullptr, nullptr, false), S_OK);
        static_cast<IDataObject*>(object)->Release();
        for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
        ASSERT_TRUE(process_.wait_until_released(std::chrono::seconds(30)));
    }

    CCalvimoraModule module_;
    HANDLE mutex_;
    CItemIdList root_list_;
    win_test::process_reference process_;
};

TEST_F(OpenWorker, AFailureOfUnknownKindEndsTheJobAndLetsTheMutexGo) {
    auto broken = boost::make_shared<failing_file>(item_values{L"broken.txt", L"f-broken"});
    auto folder = boost::make_shared<root_folder>(item_values{L"", L"0"});
    folder->children = {broken};
    open(folder, {broken}, [&] { broken->armed = true; });

    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Internal error");
    EXPECT_EQ(boxes[0].text, "Unknown error in CDataObjectImpl::_OpenFilesThread()");
    // Another worker of the session gets the mutex as a free one, not as
    // one its owner left behind.
    EXPECT_EQ(WaitForSingleObject(mutex_, 0), WAIT_OBJECT_0);
    ReleaseMutex(mutex_);
}

TEST_F(OpenWorker, AFileGivenUpInItsBoxLetsTheMutexGoAndTheNextFileComes) {
    auto gone = boost::make_shared<fake_file>(item_values{L"gone.txt", L"f-gone"});
    auto folder = boost::make_shared<root_folder>(item_values{L"", L"0"});
    // Listed, but no longer there when the worker asks for it.
    folder->children = {};
    win_test::scoped_message_box_responder cancel(
        [](const std::wstring&, const std::wstring&, UINT) { return IDCANCEL; });
    open(folder, {gone, gone});

    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 2u) << "each file is asked about in turn";
    EXPECT_EQ(boxes[0].text, "No such item") << "the service's own words";
    EXPECT_EQ(WaitForSingleObject(mutex_, 0), WAIT_OBJECT_0);
    ReleaseMutex(mutex_);
}

TEST(LocalCopyDates, SecondsRoundTripThroughTheFileAndTheAccessTimeStays) {
    win_machine::scoped_root root;
    const std::string native = root.path() + "/copy.txt";
    std::ofstream(native) << "bytes";
    struct timespec times[2] = {{1234, 0}, {5678, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.c_str(), times, 0), 0);
    const std::wstring path(native.begin(), native.end());

    for (const std::int64_t seconds : {std::int64_t{0}, std::int64_t{1700000000},
                                       std::int64_t{-86400}, std::int64_t{4102444800}}) {
        file::set_modification_date(path, seconds);
        EXPECT_EQ(file::get_modification_date(path), seconds);
    }
    struct stat st {};
    ASSERT_EQ(::stat(native.c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1234) << "only the last-write time is set";

    const std::wstring missing = path + L".missing";
    try {
        file::get_modification_date(missing);
        ADD_FAILURE() << "a missing file has no date";
    } catch (const open_failure& failure) {
        EXPECT_EQ(failure.text(), L"file::get_modification_date(): Can't open file");
    }
    EXPECT_THROW(file::set_modification_date(missing, 0), open_failure);
}

}  // namespace
