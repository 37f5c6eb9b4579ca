// The upload of a dropped local tree into an in-memory remote folder: what
// arrives, the questions and step errors as the responder answers them,
// and that no failure ever costs the user a remote file.
#include "folder/drop/drop_upload.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <fstream>
#include <string>

#include "dropped_fakes.h"
#include "folder/adapters/hdrop_items.h"
#include "folder/drop/set_aside.h"
#include "folder/module/site_message_box.h"
#include "memory_remote.h"
#include "win/com.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/user_dialog.h"

namespace {

using namespace shell_testing;
using shell_upload::run_upload_with_progress;

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string pattern(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + seed) & 0xFF);
    return bytes;
}

// A file of the extension's own data object: the service copies it.
class service_source : public dropped_testing::fake_dropped_file, public dropped_remote_file {
public:
    using fake_dropped_file::fake_dropped_file;
    std::vector<bool> moves;
    void copy(const vfs::item_ptr& destination, bool move) override {
        auto folder = boost::dynamic_pointer_cast<memory_folder>(destination);
        if (folder->failing_copies > 0 && folder->failing_copies--)
            throw memory_failure(L"service refused");
        if (folder->items.count(get_name())) throw memory_exists();
        auto copied = boost::make_shared<memory_file>(get_name());
        copied->contents = contents;
        folder->items[get_name()] = copied;
        moves.push_back(move);
    }
};

class DropUpload : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitialize(nullptr);
        base = root.path() + "/local";
        mkdir(base.c_str(), 0755);
        win_test::clear_message_boxes();
        win_test::clear_progress_dialogs();
    }
    void TearDown() override {
        win_test::set_progress_cancel_script(nullptr);
        CoUninitialize();
    }
    std::wstring file(const std::string& name, const std::string& contents) {
        std::ofstream(base + "/" + name, std::ios::binary) << contents;
        return local(name);
    }
    std::wstring folder(const std::string& name) {
        mkdir((base + "/" + name).c_str(), 0755);
        return local(name);
    }
    std::wstring local(const std::string& name) {
        return wide(root.path()) + L"\\local\\" + wide(name);
    }

    // Drops the paths on the remote folder, each box answered from the
    // list in turn (IDCANCEL when it runs out).
    HRESULT drop(const std::vector<std::wstring>& paths, std::vector<int> answers = {},
                 DWORD effect = DROPEFFECT_COPY) {
        std::size_t next = 0;
        win_test::scoped_message_box_responder responder(
            [&](const std::wstring&, const std::wstring&, UINT) {
                return next < answers.size() ? answers[next++] : IDCANCEL;
            });
        return run_upload_with_progress(nullptr, boost::make_shared<CHDROPWrapper>(paths), target,
                                        L"Docs", effect, false);
    }

    std::vector<std::string> captions() {
        std::vector<std::string> result;
        for (const auto& box : win_test::message_boxes()) result.push_back(box.caption);
        return result;
    }

    win_machine::scoped_root root;
    std::string base;
    boost::shared_ptr<memory_folder> target = boost::make_shared<memory_folder>(L"Docs");
};

TEST_F(DropUpload, ATreeArrivesWholeWithItsDatesAndTheDialogFollowsIt) {
    folder("F");
    file("F/a.txt", pattern(40000, 1));
    folder("F/sub");
    file("F/sub/b.bin", pattern(16384, 2));
    file("F/empty", "");
    const std::wstring single = file("c.txt", "charlie");
    struct utimbuf times {
        1000, 2000
    };
    utime((base + "/c.txt").c_str(), &times);

    EXPECT_EQ(drop({local("F"), single}), S_OK);
    EXPECT_TRUE(win_test::message_boxes().empty());
    ASSERT_TRUE(target->folder(L"F"));
    EXPECT_EQ(target->folder(L"F")->file(L"a.txt")->contents, pattern(40000, 1));
    EXPECT_EQ(target->folder(L"F")->folder(L"sub")->file(L"b.bin")->contents, pattern(16384, 2));
    ASSERT_TRUE(target->folder(L"F")->file(L"empty"));
    EXPECT_EQ(target->file(L"c.txt")->contents, "charlie");
    EXPECT_EQ(target->file(L"c.txt")->modified, 2000);

    const auto dialogs = win_test::progress_dialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(dialogs[0].started && dialogs[0].stopped);
    EXPECT_EQ(dialogs[0].title, L"Copying...");
    EXPECT_EQ(dialogs[0].lines[1], L"To 'Calvimora\\Docs'");
    EXPECT_EQ(dialogs[0].lines[0], L"Copying 'c.txt'");
    EXPECT_EQ(dialogs[0].total, 40000u + 16384u + 7u);
    EXPECT_EQ(dialogs[0].completed, dialogs[0].total);
}

TEST_F(DropUpload, AFolderOfManyFilesIsListedOnceForThemAll) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 20; ++i) paths.push_back(file("f" + std::to_string(i), "x"));
    EXPECT_EQ(drop(paths), S_OK);
    EXPECT_EQ(target->items.size(), 20u);
    EXPECT_LE(target->listings, 3) << "before, for the files, and after the walk";
}

TEST_F(DropUpload, AnExistingFileIsAskedAboutAndNoKeepsIt) {
    auto existing = boost::make_shared<memory_file>(L"a.txt");
    existing->contents = "original";
    target->items[L"a.txt"] = existing;
    const std::wstring path = file("a.txt", "new contents");

    EXPECT_EQ(drop({path}, {IDNO}), E_FAIL) << "a declined file is no complete move";
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes()[0].caption, "Confirm file replace");
    EXPECT_EQ(win_test::message_boxes()[0].type, static_cast<UINT>(MB_YESNO | MB_ICONWARNING));
    EXPECT_EQ(target->file(L"a.txt")->contents, "original");
    EXPECT_TRUE(target->deleted.empty());

    win_test::clear_message_boxes();
    EXPECT_EQ(drop({path}, {IDYES}), S_OK);
    EXPECT_EQ(target->file(L"a.txt")->contents, "new contents");
}

TEST_F(DropUpload, AFailedReplaceLeavesTheOriginal) {
    auto existing = boost::make_shared<memory_file>(L"a.txt");
    existing->contents = "original";
    target->items[L"a.txt"] = existing;
    target->on_create = [](memory_file& made) { made.failing_writes = 1; };
    // Yes to replace, then Cancel of the write's Retry/Cancel box.
    EXPECT_EQ(drop({file("a.txt", pattern(20000, 3))}, {IDYES, IDCANCEL}), E_FAIL);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Confirm file replace", "Error"}));
    EXPECT_EQ(win_test::message_boxes()[1].type, static_cast<UINT>(MB_RETRYCANCEL | MB_ICONERROR));
    ASSERT_TRUE(target->file(L"a.txt")) << "the user's file was deleted";
    EXPECT_EQ(target->file(L"a.txt")->contents, "original");
    EXPECT_TRUE(target->deleted.empty());
    EXPECT_EQ(target->names(), std::vector<std::wstring>{L"a.txt"});
}

// The client commits what a close is given, so a cancelled replace must
// never close anything over the user's file.
TEST_F(DropUpload, ACancelMidReplaceKeepsTheOriginalWhole) {
    auto existing = boost::make_shared<memory_file>(L"big.bin");
    existing->contents = pattern(300000, 8);
    target->items[L"big.bin"] = existing;
    win_test::set_progress_cancel_script(
        [](const win_test::progress_record& state) { return state.completed >= 3 * 16384; });
    EXPECT_EQ(drop({file("big.bin", pattern(200000, 9))}, {IDYES}), E_ABORT);
    EXPECT_EQ(target->file(L"big.bin")->contents, pattern(300000, 8));
    EXPECT_EQ(target->file(L"big.bin"), existing) << "the same file, never set aside";
    EXPECT_EQ(target->names(), std::vector<std::wstring>{L"big.bin"});
    EXPECT_TRUE(target->deleted.empty());
    ASSERT_EQ(target->trashed.size(), 1u) << "the partial upload goes to the trash";
    EXPECT_EQ(target->trashed[0].rfind(L"~big.bin.", 0), 0u);
}

TEST_F(DropUpload, AFileThatTookTheNameMeanwhileIsAskedAboutAndKeptOnNo) {
    // Another drop puts "a.txt" there while this one uploads.
    auto other = boost::make_shared<memory_file>(L"a.txt");
    other->contents = "theirs";
    target->on_create = [&](memory_file&) { target->items[L"a.txt"] = other; };
    EXPECT_EQ(drop({file("a.txt", "mine")}, {IDNO}), E_FAIL);
    EXPECT_EQ(captions(), std::vector<std::string>{"Confirm file replace"});
    EXPECT_EQ(target->file(L"a.txt"), other);
    EXPECT_EQ(other->contents, "theirs");
    EXPECT_EQ(target->names(), std::vector<std::wstring>{L"a.txt"});

    win_test::clear_message_boxes();
    EXPECT_EQ(drop({file("a.txt", "mine")}, {IDYES}), S_OK);
    EXPECT_EQ(target->file(L"a.txt")->contents, "mine");
    EXPECT_EQ(target->names(), std::vector<std::wstring>{L"a.txt"});
    EXPECT_EQ(target->deleted, std::vector<std::wstring>{L"~a.txt.replaced"});
}

TEST_F(DropUpload, AFolderThatTookTheNameAfterAYesIsNeverReplaced) {
    target->items[L"a.txt"] = boost::make_shared<memory_file>(L"a.txt");
    auto folder = boost::make_shared<memory_folder>(L"a.txt");
    target->on_create = [&](memory_file&) { target->items[L"a.txt"] = folder; };
    EXPECT_EQ(drop({file("a.txt", "new")}, {IDYES}), E_ABORT);
    EXPECT_EQ(captions(),
              (std::vector<std::string>{"Confirm file replace", "Error creating file"}));
    EXPECT_EQ(target->folder(L"a.txt"), folder);
    EXPECT_EQ(target->names(), std::vector<std::wstring>{L"a.txt"});
    EXPECT_TRUE(target->deleted.empty());
}

TEST_F(DropUpload, ARenameIntoPlaceThatFailsPutsTheOriginalBack) {
    auto existing = boost::make_shared<memory_file>(L"a.txt");
    existing->contents = "original";
    target->items[L"A.TXT"] = existing;
    existing->name = L"A.TXT";
    int renames_to_name = 0;
    target->before_rename = [&](const std::wstring& name) {
        if (name == L"a.txt" && renames_to_name++ == 0) throw memory_failure(L"refused");
    };
    EXPECT_EQ(drop({file("a.txt", "new")}, {IDYES, IDCANCEL}), E_FAIL);
    EXPECT_EQ(captions(), (std::vector<std::string>{"Confirm file replace", "Error"}));
    EXPECT_EQ(target->names(), std::vector<std::wstring>{L"A.TXT"}) << "back under its name";
    EXPECT_EQ(target->file(L"A.TXT")->contents, "original");
    EXPECT_EQ(target->trashed.size(), 1u);
}

TEST_F(DropUpload, RetriesThatNobodyChoseEndAFailingStep) {
    // No responder: every box takes its default, which is Retry.
    struct refusing_folder : memory_folder {
        using memory_folder::memory_folder;
        vfs::item_ptr create_and_open_file(const std::wstring&, int, std::int64_t) override {
            throw memory_failure(L"no room");
        }
    };
    target = boost::make_shared<refusing_folder>(L"Docs");
    const HRESULT result = run_upload_with_progress(
        nullptr, boost::make_shared<CHDROPWrapper>(std::vector<std::wstring>{file("a.txt", "a")}),
        target, L"Docs", DROPEFFECT_COPY, false);
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(win_test::message_boxes().size(),
              static_cast<std::size_t>(shell_utils::retry_answers::unattended_limit + 1));
    EXPECT_TRUE(target->items.empty());
}

TEST_F(DropUpload, AFolderOverAFileOfThatNameEndsTheUpload) {
    target->items[L"F"] = boost::make_shared<memory_file>(L"F");
    folder("F");
    file("F/a.txt", "a");
    EXPECT_EQ(drop({local("F"), file("later.txt", "l")}), E_ABORT);
    EXPECT_EQ(captions(), std::vector<std::string>{"Error creating folder"});
    EXPECT_EQ(win_test::message_boxes()[0].text, "Folder 'F' could not be created.");
    EXPECT_FALSE(target->file(L"later.txt")) << "nothing more is uploaded";
}

TEST_F(DropUpload, IgnoreOnAFailedFolderSkipsItsSubtree) {
    folder("F");
    file("F/a.txt", "a");
    target->failing_creates = 1;
    EXPECT_EQ(drop({local("F"), file("b.txt", "b")}, {IDIGNORE}), E_FAIL);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes()[0].type,
              static_cast<UINT>(MB_ABORTRETRYIGNORE | MB_ICONERROR));
    EXPECT_FALSE(target->folder(L"F"));
    EXPECT_EQ(target->file(L"b.txt")->contents, "b");
}

TEST_F(DropUpload, AnExistingFolderIsMergedOnYes) {
    auto remote = boost::make_shared<memory_folder>(L"F");
    target->items[L"F"] = remote;
    folder("F");
    file("F/a.txt", "a");
    file("F/b.txt", "b");
    EXPECT_EQ(drop({local("F")}, {IDYES}), S_OK);
    EXPECT_EQ(captions(), std::vector<std::string>{"Confirm folder merge"});
    EXPECT_EQ(remote->file(L"b.txt")->contents, "b");
}

TEST_F(DropUpload, CancelMidFileDeletesOnlyThePartialNewFile) {
    auto original = boost::make_shared<memory_file>(L"kept.txt");
    original->contents = "keep me";
    target->items[L"kept.txt"] = original;
    file("1-first.txt", pattern(100, 4));
    file("2-second.bin", pattern(100000, 5));
    win_test::set_progress_cancel_script(
        [](const win_test::progress_record& state) { return state.completed > 100 + 16384; });
    const HRESULT result = drop({local("1-first.txt"), local("2-second.bin")});
    EXPECT_EQ(result, E_ABORT);
    EXPECT_EQ(target->file(L"1-first.txt")->contents, pattern(100, 4)) << "earlier files stay";
    EXPECT_EQ(target->names(), (std::vector<std::wstring>{L"1-first.txt", L"kept.txt"}));
    EXPECT_TRUE(target->deleted.empty()) << "nothing is removed for good";
    ASSERT_EQ(target->trashed.size(), 1u);
    EXPECT_EQ(target->trashed[0].rfind(L"~2-second.bin.", 0), 0u);
    EXPECT_EQ(target->file(L"kept.txt")->contents, "keep me");
}

TEST_F(DropUpload, RetryRepeatsTheSameBlockAndShortWritesAreFinished) {
    const std::string bytes = pattern(50000, 6);
    const std::wstring path = file("r.bin", bytes);
    // The remote file fails its second write once, then takes half of a
    // block twice and nothing once: every byte still arrives, in order.
    struct arming_folder : memory_folder {
        using memory_folder::memory_folder;
        vfs::item_ptr create_and_open_file(const std::wstring& name, int mode,
                                           std::int64_t size) override {
            auto file = boost::dynamic_pointer_cast<memory_file>(
                memory_folder::create_and_open_file(name, mode, size));
            if (name.rfind(L"~r.bin.", 0) != 0) return file;
            file->failing_writes = 1;
            file->short_writes = 2;
            return file;
        }
    };
    target = boost::make_shared<arming_folder>(L"Docs");
    EXPECT_EQ(drop({path, file("other.txt", "o")}, {IDRETRY}), S_OK);
    EXPECT_EQ(captions(), std::vector<std::string>{"Error"});
    EXPECT_EQ(target->file(L"r.bin")->contents, bytes);
    EXPECT_EQ(win_test::progress_dialogs()[0].completed, 50001u) << "each block counted once";
}

TEST_F(DropUpload, AWriteThatTakesNothingFailsTheFileInsteadOfDroppingBytes) {
    struct stalling_folder : memory_folder {
        using memory_folder::memory_folder;
        vfs::item_ptr create_and_open_file(const std::wstring& name, int mode,
                                           std::int64_t size) override {
            auto file = boost::dynamic_pointer_cast<memory_file>(
                memory_folder::create_and_open_file(name, mode, size));
            file->zero_writes = 1000;
            return file;
        }
    };
    target = boost::make_shared<stalling_folder>(L"Docs");
    EXPECT_EQ(drop({file("z.bin", pattern(1000, 7))}, {IDCANCEL}), E_FAIL);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes()[0].text.rfind("Can't write to 'z.bin'", 0), 0u);
    EXPECT_TRUE(target->items.empty()) << "the partial new file is removed";
}

TEST_F(DropUpload, ALookupThatFailsIsNoAbsentFolder) {
    auto remote = boost::make_shared<memory_folder>(L"F");
    target->items[L"F"] = remote;
    target->failing_lookups = 1;
    folder("F");
    file("F/a.txt", "a");
    // Retry the failed lookup, then Yes to merge: the existing folder is
    // found and asked about, never created over.
    EXPECT_EQ(drop({local("F"), file("b.txt", "b")}, {IDRETRY, IDYES}), S_OK);
    EXPECT_EQ(captions(),
              (std::vector<std::string>{"Error creating folder", "Confirm folder merge"}));
    EXPECT_EQ(remote->file(L"a.txt")->contents, "a");
}

TEST_F(DropUpload, ItemsTheTreeLeftOutMakeTheUploadIncomplete) {
    folder("F");
    file("F/a.txt", "a");
    mkfifo((base + "/F/pipe").c_str(), 0644);
    EXPECT_EQ(drop({local("F")}, {}, DROPEFFECT_MOVE), E_FAIL);
    EXPECT_EQ(target->folder(L"F")->file(L"a.txt")->contents, "a");
    EXPECT_EQ(win_test::progress_dialogs()[0].title, L"Moving...");
}

class ServiceCopy : public DropUpload {
protected:
    HRESULT copy(boost::shared_ptr<service_source> source, std::vector<int> answers, DWORD effect) {
        const auto tree = dropped_testing::make_dropped_folder(L"source", {source});
        std::size_t next = 0;
        win_test::scoped_message_box_responder responder(
            [&](const std::wstring&, const std::wstring&, UINT) {
                return next < answers.size() ? answers[next++] : IDCANCEL;
            });
        return run_upload_with_progress(nullptr, tree, target, L"Docs", effect, true);
    }
};

TEST_F(ServiceCopy, TheServiceMovesAndAReplaceHappensOnlyAfterTheCopy) {
    auto source = boost::make_shared<service_source>(L"a.txt");
    source->contents = "moved";
    EXPECT_EQ(copy(source, {}, DROPEFFECT_MOVE), S_OK);
    EXPECT_EQ(source->moves, std::vector<bool>{true});
    EXPECT_EQ(target->file(L"a.txt")->contents, "moved");

    // A failed copy over an existing file leaves that file as it was.
    target->file(L"a.txt")->contents = "original";
    target->failing_copies = 1;
    EXPECT_EQ(copy(source, {IDYES, IDCANCEL}, DROPEFFECT_COPY), E_FAIL);
    EXPECT_EQ(target->file(L"a.txt")->contents, "original");
    EXPECT_EQ(target->items.size(), 1u);

    // A copy that succeeds takes the old file's place.
    source->contents = "second";
    EXPECT_EQ(copy(source, {IDYES}, DROPEFFECT_COPY), S_OK);
    EXPECT_EQ(target->file(L"a.txt")->contents, "second");
    EXPECT_EQ(target->items.size(), 1u);
}

TEST_F(ServiceCopy, ACancelAfterASuccessfulCopyDeletesNothing) {
    auto source = boost::make_shared<service_source>(L"a.txt");
    source->contents = "moved";
    win_test::set_progress_cancel_script(
        [](const win_test::progress_record& state) { return state.cancel_checks > 1; });
    EXPECT_EQ(copy(source, {}, DROPEFFECT_MOVE), E_ABORT);
    ASSERT_TRUE(target->file(L"a.txt")) << "the moved file was deleted after its move";
    EXPECT_TRUE(target->deleted.empty());
}

// Only a file that stands for a remote file can be copied by the service:
// a local file in a drop taken for the extension's own ends the upload.
TEST_F(ServiceCopy, AFileThatIsNoRemoteFileEndsTheUploadUntouched) {
    const auto tree =
        boost::make_shared<CHDROPWrapper>(std::vector<std::wstring>{file("a.txt", "a")});
    EXPECT_EQ(run_upload_with_progress(nullptr, tree, target, L"Docs", DROPEFFECT_MOVE, true),
              E_ABORT);
    EXPECT_TRUE(target->items.empty());
    EXPECT_TRUE(win_test::message_boxes().empty());
}

class SetAsides : public ::testing::Test {
protected:
    boost::shared_ptr<memory_file> add(const std::wstring& name, const std::string& contents) {
        auto file = boost::make_shared<memory_file>(name);
        file->contents = contents;
        folder->items[name] = file;
        return file;
    }
    bool repair() { return shell_upload::repair_set_asides(*folder, folder->list_items()); }

    boost::shared_ptr<memory_folder> folder = boost::make_shared<memory_folder>(L"Docs");
};

TEST_F(SetAsides, AloneItIsPutBackBesideItsReplacementItGoesToTheTrash) {
    add(L"~kept.txt.replaced", "original");
    add(L"~new.txt.replaced", "old");
    add(L"NEW.TXT", "replacement");
    add(L"~.replaced", "not a set-aside");
    add(L"~dir.replaced", "beside a folder");
    folder->items[L"dir"] = boost::make_shared<memory_folder>(L"dir");
    EXPECT_TRUE(repair());
    EXPECT_EQ(folder->names(), (std::vector<std::wstring>{L"NEW.TXT", L"dir", L"kept.txt",
                                                          L"~.replaced", L"~dir.replaced"}));
    EXPECT_EQ(folder->file(L"kept.txt")->contents, "original");
    EXPECT_EQ(folder->trashed, std::vector<std::wstring>{L"~new.txt.replaced"});
    EXPECT_TRUE(folder->deleted.empty());
    EXPECT_FALSE(repair()) << "nothing left to mend";
}

TEST_F(SetAsides, OneOfAReplaceStillRunningIsLeftAlone) {
    add(L"~a.txt.replaced", "original");
    {
        const shell_upload::set_aside_in_progress busy(*folder, L"~a.txt.replaced");
        EXPECT_FALSE(repair());
    }
    EXPECT_TRUE(repair());
    EXPECT_TRUE(folder->file(L"a.txt"));
}

TEST(UploadNames, EachUploadHasANameOfItsOwnWithinTheLimit) {
    const std::wstring first = shell_upload::upload_name(L"a.txt");
    EXPECT_EQ(first.rfind(L"~a.txt.", 0), 0u);
    EXPECT_NE(first, shell_upload::upload_name(L"a.txt"));
    EXPECT_EQ(shell_upload::upload_name(std::wstring(255, L'n')).size(), 255u);
}

}  // namespace
