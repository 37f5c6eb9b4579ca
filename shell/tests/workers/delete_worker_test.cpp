// The delete worker's run over scripted folders: what only fakes can make
// happen (a folder that is no folder object, names the service would
// repeat) and the answers of its boxes. The runs against the service are in
// the end-to-end tests of the shell host.
#include <gtest/gtest.h>

#include <map>

#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "folder/workers/delete_worker.h"
#include "folder_fakes.h"
#include "win/progress_dialog.h"
#include "win/shell.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

using namespace shell_testing;

// A folder whose deletes of an item the service refuses a given number of
// times.
class refusing_folder : public steered_folder {
public:
    using steered_folder::steered_folder;
    std::map<std::wstring, int> refusals;  // by name
    using steered_folder::delete_item;
    void delete_item(const vfs::item_ptr& item, bool to_trash) override {
        int& left = refusals[item->get_name()];
        if (left > 0) {
            --left;
            throw test_failure();
        }
        steered_folder::delete_item(item, to_trash);
    }
};

class DeleteWorker : public ::testing::Test {
protected:
    DeleteWorker() {
        win_test::clear_progress_dialogs();
        win_test::clear_message_boxes();
        win_test::clear_shell_notifications();
    }

    // A job over items of the folder, as the data object hands it.
    std::unique_ptr<DataObjectJob> job_over(const vfs::directory_ptr& folder,
                                            const vfs::item_list& items, bool permanent) {
        auto job = std::make_unique<DataObjectJob>();
        job->folder = folder;
        for (const vfs::item_ptr& item : items)
            EXPECT_TRUE(job->items.Add(CItemIdList(make_pidl_data(item)).CreatePidl()));
        job->permanent = permanent;
        return job;
    }

    win_machine::scoped_root root_;
};

TEST_F(DeleteWorker, ItemsAreFoundByIdSoOnlyTheSelectedOfTwoSameNamesGoes) {
    auto first = boost::make_shared<fake_file>(item_values{L"dup.txt", L"first"});
    auto second = boost::make_shared<fake_file>(item_values{L"dup.txt", L"second"});
    auto trash = make_steered(L"Trash", {first, second});
    shell_delete::run_delete_job(*job_over(trash, {second}, true));
    ASSERT_EQ(trash->deletions.size(), 1u);
    ASSERT_EQ(trash->children.size(), 1u);
    EXPECT_EQ(trash->children[0]->get_id(), L"first");
    const auto dialogs = win_test::progress_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].stopped);
    EXPECT_EQ(dialogs[0].completed, 1u);
    EXPECT_EQ(dialogs[0].total, 1u);
}

TEST_F(DeleteWorker, AFailureThatEscapesStillStopsTheDialogAndSendsNoChangeNotice) {
    // A folder by its type that is no folder object: nothing can walk it.
    auto odd = boost::make_shared<fake_file>(item_values{L"odd", L"odd-id"});
    odd->type = vfs::item_type_directory;
    auto trash = make_steered(L"Trash", {odd});
    shell_delete::run_delete_job(*job_over(trash, {odd}, true));

    const auto dialogs = win_test::progress_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].stopped) << "the progress dialog was left running";
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Internal error");
    EXPECT_EQ(boxes[0].text, "NULL pointer in CDataObjectImpl::_CountSubitemsAndSelf(...)");
    EXPECT_TRUE(trash->deletions.empty());
    EXPECT_TRUE(win_test::shell_notifications().empty());
}

TEST_F(DeleteWorker, RetryRepeatsTheRefusedStepAndCancelEndsTheJobKeepingEarlierDeletions) {
    auto folder = boost::make_shared<refusing_folder>(item_values{L"Docs", L"id-Docs"});
    folder->children = {make_file(L"a", 1), make_file(L"b", 1), make_file(L"c", 1)};
    folder->refusals = {{L"a", 1}, {L"b", 1}};
    std::vector<int> answers{IDRETRY, IDCANCEL};
    win_test::scoped_message_box_responder responder(
        [&](const std::wstring&, const std::wstring&, UINT) {
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        });
    shell_delete::run_delete_job(*job_over(folder, vfs::item_list(folder->children), false));

    // "a" went on the second try; the user gave up on "b", so "c" was never
    // tried and "a" stays deleted.
    ASSERT_EQ(folder->deletions.size(), 1u);
    EXPECT_EQ(folder->deletions[0], std::make_pair(std::wstring(L"a"), true));
    EXPECT_EQ(folder->children.size(), 2u);
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Can't delete 'a': An item of that name exists");
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].text, "Can't delete 'b': An item of that name exists");
    EXPECT_EQ(boxes[1].type, static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR));
    const auto dialogs = win_test::progress_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].completed, 1u);
    EXPECT_EQ(dialogs[0].total, 3u);
    EXPECT_TRUE(dialogs[0].stopped);
    // The job still ends with the folder's change notice.
    ASSERT_EQ(win_test::shell_notifications().size(), 1u);
    EXPECT_EQ(win_test::shell_notifications()[0].event, SHCNE_UPDATEDIR);
}

TEST_F(DeleteWorker, TheConfirmationNamesWhatIsSelectedAndWhereItGoes) {
    using shell_delete::confirmation_texts;
    const shell_delete::selected_item file{L"f", L"f", false};
    const shell_delete::selected_item folder{L"d", L"d", true};
    EXPECT_EQ(
        confirmation_texts({file}, false),
        std::make_pair(std::wstring(L"Delete File"),
                       std::wstring(L"Are you sure you want to move this file to the Trash?")));
    EXPECT_EQ(
        confirmation_texts({folder}, true),
        std::make_pair(std::wstring(L"Delete Folder"),
                       std::wstring(L"Are you sure you want to permanently delete this folder?")));
    EXPECT_EQ(confirmation_texts({file, folder, file}, false).second,
              L"Are you sure you want to move these 3 items to the Trash?");
    EXPECT_EQ(confirmation_texts({file, folder}, true),
              std::make_pair(
                  std::wstring(L"Delete Multiple Items"),
                  std::wstring(L"Are you sure you want to permanently delete these 2 items?")));
}

}  // namespace

// The data object's side: what is decided before any worker starts.
class DataObjectWorkers : public FolderTest {
protected:
    ~DataObjectWorkers() override {
        for (LPITEMIDLIST list : lists_) CoTaskMemFree(list);
    }

    CComObject<CDataObjectImpl>* select(const vfs::directory_ptr& folder,
                                        const vfs::item_list& items) {
        std::vector<LPCITEMIDLIST> selection;
        for (const vfs::item_ptr& item : items) {
            lists_.push_back(child_list(item));
            selection.push_back(lists_.back());
        }
        CComObject<CDataObjectImpl>* object = nullptr;
        EXPECT_EQ(
            create_data_object(folder, CItemIdList(), CItemIdList(), nullptr, selection.data(),
                               static_cast<UINT>(selection.size()), &object),
            S_OK);
        return object;
    }

    CCalvimoraModule module_;
    std::vector<LPITEMIDLIST> lists_;
};

TEST_F(DataObjectWorkers, NoToTheConfirmationStartsNothingAndAMissingFirstItemIsRefused) {
    win_test::clear_progress_dialogs();
    CComObject<CDataObjectImpl>* object = select(remote_root, {docs, music});
    {
        win_test::scoped_message_box_responder no(
            [](const std::wstring&, const std::wstring&, UINT) { return IDNO; });
        EXPECT_EQ(object->start_delete_items(nullptr, false), S_FALSE);
    }
    EXPECT_TRUE(remote_root->deletions.empty());
    EXPECT_TRUE(win_test::progress_dialogs().empty());

    std::erase(remote_root->children, vfs::item_ptr(docs));
    win_test::clear_message_boxes();
    EXPECT_EQ(object->start_delete_items(nullptr, false), E_INVALIDARG);
    EXPECT_TRUE(win_test::message_boxes().empty()) << "nothing is asked about a missing item";
    object->Release();
}

TEST_F(DataObjectWorkers, RestoreOutsideTheTrashChangesNothing) {
    win_test::clear_shell_notifications();
    CComObject<CDataObjectImpl>* object = select(remote_root, {music});
    EXPECT_EQ(object->restore_items(nullptr), E_INVALIDARG);
    EXPECT_TRUE(win_test::shell_notifications().empty());
    object->Release();
}
