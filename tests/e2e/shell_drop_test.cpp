// Local files dropped on the virtual folder through the shell host,
// uploaded to the stand-in service and compared byte for byte: on the
// caller's thread and on the drop worker, as copies and as moves, onto a
// folder and onto a file item, with the upload's questions and a cut
// transfer answered by the responder.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

#include "shell_browser.h"
#include "shell_drop.h"
#include "shell_host.h"
#include "terminal_browser.h"
#include "utils/class_ids.h"
#include "vfs/directory.h"
#include "vfs/file.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/clipboard.h"
#include "win/file.h"
#include "win/global_memory.h"
#include "win/kernel.h"
#include "win/machine.h"
#include "win/progress_dialog.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/test_stream.h"
#include "win/user.h"
#include "win/user_dialog.h"

namespace {

using namespace vfs_session_testing;
namespace fs = std::filesystem;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

// The extension's own answer to whether it may be unloaded now.
HRESULT extension_can_unload() {
    void* module = dlopen(CALVIMORA_MODULE, RTLD_NOW | RTLD_NOLOAD);
    if (!module) return E_UNEXPECTED;
    auto* can_unload = reinterpret_cast<HRESULT (*)()>(dlsym(module, "DllCanUnloadNow"));
    const HRESULT answer = can_unload ? can_unload() : E_UNEXPECTED;
    dlclose(module);
    return answer;
}

// Another program's virtual files: a descriptor block and one contents
// stream per index; asynchronous when asked, noting the calls that come
// from another thread than its own.
class foreign_files final : public IDataObject, public IAsyncOperation {
public:
    struct entry {
        std::wstring name;
        bool folder;
        std::string contents;
        // A stream that ends after this many bytes, though its Stat gives
        // the whole size.
        std::optional<size_t> ends_after = std::nullopt;
    };
    explicit foreign_files(std::vector<entry> entries, bool asynchronous = false)
        : entries_(std::move(entries)), asynchronous_(asynchronous) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        note_call();
        if (iid == IID_IUnknown || iid == IID_IDataObject)
            *object = static_cast<IDataObject*>(this);
        else if (iid == IID_IAsyncOperation && asynchronous_)
            *object = static_cast<IAsyncOperation*>(this);
        else
            *object = nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        note_call();
        return ++references;
    }
    ULONG STDMETHODCALLTYPE Release() override {
        note_call();
        return --references;
    }
    HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* asynchronous) override {
        note_call();
        *asynchronous = asynchronous_ ? TRUE : FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE InOperation(BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EndOperation(HRESULT, IBindCtx*, DWORD effects) override {
        note_call();
        end_effect = effects;
        ended = true;
        return S_OK;
    }

    std::atomic<bool> ended{false};
    std::atomic<DWORD> end_effect{DROPEFFECT_NONE};
    std::atomic<int> calls_elsewhere{0};

    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        return (format->cfFormat == descriptors() || offered_.count(format->cfFormat)) &&
                       (format->tymed & TYMED_HGLOBAL)
                   ? S_OK
                   : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        note_call();
        *medium = STGMEDIUM{};
        const auto offered = offered_.find(format->cfFormat);
        if (offered != offered_.end() && (format->tymed & TYMED_HGLOBAL)) {
            HGLOBAL block = GlobalAlloc(GHND, offered->second.size());
            std::memcpy(GlobalLock(block), offered->second.data(), offered->second.size());
            GlobalUnlock(block);
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = block;
            return S_OK;
        }
        if (format->cfFormat == descriptors() && (format->tymed & TYMED_HGLOBAL)) {
            const UINT count = static_cast<UINT>(entries_.size());
            HGLOBAL block = GlobalAlloc(GHND, 4 + sizeof(FILEDESCRIPTORW) * count);
            auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
            std::memcpy(bytes, &count, 4);
            for (UINT i = 0; i < count; ++i) {
                FILEDESCRIPTORW descriptor{};
                win_shell::set_file_descriptor_name(descriptor, entries_[i].name);
                if (entries_[i].folder) {
                    descriptor.dwFlags = FD_ATTRIBUTES;
                    descriptor.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
                }
                std::memcpy(bytes + 4 + i * sizeof descriptor, &descriptor, sizeof descriptor);
            }
            GlobalUnlock(block);
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = block;
            return S_OK;
        }
        if (format->cfFormat != RegisterClipboardFormatW(CFSTR_FILECONTENTS) ||
            !(format->tymed & TYMED_ISTREAM) || format->lindex < 0 ||
            static_cast<size_t>(format->lindex) >= entries_.size())
            return DV_E_FORMATETC;
        const std::string& bytes = entries_[format->lindex].contents;
        if (const auto ends_after = entries_[format->lindex].ends_after) {
            std::lock_guard<std::mutex> guard(streams_lock_);
            auto& stream = streams_.emplace_back(std::make_unique<win_test::test_stream>(
                std::vector<BYTE>(bytes.begin(), bytes.end())));
            stream->short_read_after = *ends_after;
            stream->AddRef();
            medium->tymed = TYMED_ISTREAM;
            medium->pstm = stream.get();
            return S_OK;
        }
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!bytes.empty()) {
            std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
            GlobalUnlock(memory);
        }
        medium->tymed = TYMED_ISTREAM;
        return CreateStreamOnHGlobal(memory, TRUE, &medium->pstm);
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM* medium, BOOL release) override {
        if (release) ReleaseStgMedium(medium);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    // Offers these bytes as a block of the named format too.
    void offer(const wchar_t* format, std::string bytes) {
        offered_[static_cast<CLIPFORMAT>(RegisterClipboardFormatW(format))] = std::move(bytes);
    }

    std::atomic<ULONG> references{1};

private:
    static CLIPFORMAT descriptors() {
        return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILEDESCRIPTORW));
    }
    void note_call() {
        if (GetCurrentThreadId() != thread_) ++calls_elsewhere;
    }
    std::vector<entry> entries_;
    std::mutex streams_lock_;
    std::vector<std::unique_ptr<win_test::test_stream>> streams_;
    std::map<CLIPFORMAT, std::string> offered_;
    const bool asynchronous_;
    const DWORD thread_ = GetCurrentThreadId();
};

// Yes to every question, so that only the rule under test can keep a
// source; a failing step is given up (Ignore, or Cancel of a single file).
int yes_and_give_up(const std::wstring&, const std::wstring&, UINT type) {
    switch (type & 0xF) {
        case MB_YESNO:
        case MB_YESNOCANCEL:
            return IDYES;
        case MB_ABORTRETRYIGNORE:
            return IDIGNORE;
        case MB_RETRYCANCEL:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

// The drop's summary of the items it left out; empty when none was shown.
std::string left_out_summary() {
    for (const auto& box : win_test::message_boxes())
        if (box.caption == "Items left out") return box.text;
    return std::string();
}

std::string local_contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// alice's storage holds the folder "Docs" with "kept.txt" and the file
// "beta" at the top.
class ShellDrop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        const std::string user = service.add_user("alice", "s3cret");
        const std::string docs = service.add_folder(user, "0", "Docs");
        user_ = user;
        docs_ = docs;
        service.add_file(user, docs, "kept.txt", "original");
        service.add_file(user, "0", "beta", "b");
        service.add_folder(user, "0", "Alpha");
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        local_ = fs::path(win_machine::app_data_dir()) / "dropped";
        fs::create_directories(local_);
        SHSetInstanceExplorer(&process_);
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
        win_test::clear_message_boxes();
    }
    void TearDown() override {
        EXPECT_TRUE(process_.wait_until_released(std::chrono::seconds(30)));
        SHSetInstanceExplorer(nullptr);
        browser.close();
        shell_host::unload_unused_servers();
    }

    std::wstring local_file(const std::string& name, const std::string& contents) {
        fs::create_directories((local_ / name).parent_path());
        std::ofstream(local_ / name, std::ios::binary) << contents;
        return wide((local_ / name).string());
    }
    std::wstring local_folder(const std::string& name) {
        fs::create_directories(local_ / name);
        return wide((local_ / name).string());
    }

    // The bytes of a remote file below the root, by its "\"-separated path.
    std::string remote(const std::wstring& path) {
        vfs::directory_ptr folder = vfs_calvimora::get_client(test_module())->get_root_directory();
        std::wstring rest = path;
        for (std::size_t cut; (cut = rest.find(L'\\')) != std::wstring::npos;) {
            folder = boost::dynamic_pointer_cast<vfs::directory>(
                folder->get_item(rest.substr(0, cut), true));
            rest = rest.substr(cut + 1);
        }
        const auto file = boost::dynamic_pointer_cast<vfs::file>(folder->get_item(rest, true));
        std::string bytes;
        file->open(vfs::modeRead, 0);
        char buffer[65536];
        for (int got; (got = file->read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
        file->close(vfs::no_date);
        return bytes;
    }

    // The extension's data object over items of the current folder.
    IDataObject* data_object_of(const std::vector<std::wstring>& names) {
        std::vector<PCUITEMID_CHILD> ids;
        for (const auto& item : browser.items())
            for (const auto& name : names)
                if (item.name == name) ids.push_back(item.id);
        void* data = nullptr;
        if (ids.size() != names.size() ||
            FAILED(browser.folder()->GetUIObjectOf(nullptr, static_cast<UINT>(ids.size()),
                                                   ids.data(), IID_IDataObject, nullptr, &data)))
            return nullptr;
        return static_cast<IDataObject*>(data);
    }

    bool remote_exists(const std::wstring& folder, const std::wstring& name) {
        auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
        auto directory = boost::dynamic_pointer_cast<vfs::directory>(root->get_item(folder, true));
        for (const auto& item : directory->list_items())
            if (item->get_name() == name) return true;
        return false;
    }

    IDropTarget* target_of(const std::wstring& name = L"") {
        if (name.empty()) return shell_host::drop_target_of(browser.folder());
        for (const auto& item : browser.items())
            if (item.name == name) return shell_host::drop_target_of(browser.folder(), item.id);
        return nullptr;
    }

    // Shift-moves the local folder "N" holding the files (paths below the
    // local folder, names as raw bytes), all questions answered Yes: the
    // move must keep every one of them as it was and name in its summary
    // what it left out.
    void expect_move_keeps(const std::map<std::string, std::string>& files,
                           const std::vector<std::string>& left_out) {
        for (const auto& [path, contents] : files) local_file(path, contents);
        IDropTarget* target = target_of();
        ASSERT_TRUE(target);
        win_test::scoped_message_box_responder yes(yes_and_give_up);
        const auto moved =
            shell_host::drop_local_files(target, {wide((local_ / "N").string())}, false, true);
        target->Release();
        EXPECT_EQ(moved.effect, DROPEFFECT_NONE);
        for (const auto& [path, contents] : files)
            EXPECT_EQ(local_contents(local_ / path), contents) << path;
        const std::string summary = left_out_summary();
        for (const std::string& entry : left_out)
            EXPECT_NE(summary.find(entry), std::string::npos) << entry << " in: " << summary;
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    win_test::process_reference process_;
    fs::path local_;
    std::string user_, docs_;
};

TEST_F(ShellDrop, ATreeArrivesWholeOnTheCallersThreadAndOnTheDropWorker) {
    local_folder("F");
    local_file("F/a.bin", pattern(70000, 1));
    local_file("F/sub/b.txt", "bravo");
    IDropTarget* target = target_of();
    ASSERT_TRUE(target);
    const auto copied =
        shell_host::drop_local_files(target, {wide((local_ / "F").string())}, false, false);
    EXPECT_EQ(copied.result, S_OK);
    EXPECT_EQ(copied.effect, DROPEFFECT_COPY);
    EXPECT_EQ(remote(L"F\\a.bin"), pattern(70000, 1));
    EXPECT_EQ(remote(L"F\\sub\\b.txt"), "bravo");

    local_file("G/c.bin", pattern(50000, 2));
    HRESULT during_upload = E_UNEXPECTED;
    win_test::set_progress_cancel_script([&](const win_test::progress_record&) {
        during_upload = extension_can_unload();
        return false;
    });
    const auto async =
        shell_host::drop_local_files(target, {wide((local_ / "G").string())}, true, false);
    win_test::set_progress_cancel_script(nullptr);
    EXPECT_EQ(async.result, S_OK);
    EXPECT_EQ(async.effect, DROPEFFECT_COPY) << "the effect arrives with the end of the operation";
    EXPECT_TRUE(async.calls_on_own_thread)
        << "the worker's calls reach the host's object through the host's messages";
    EXPECT_EQ(during_upload, S_FALSE) << "the extension stays loaded while its drop worker runs";
    EXPECT_EQ(remote(L"G\\c.bin"), pattern(50000, 2));
    EXPECT_TRUE(fs::exists(local_ / "G" / "c.bin")) << "a copy keeps its sources";
    target->Release();
}

// The host lets go of everything of the extension and unloads what it
// can while the drop worker has not started yet: the worker's hold keeps
// the extension loaded, and the upload ends normally.
TEST_F(ShellDrop, AnUnloadWhileTheDropWorkerStartsLeavesTheExtensionInPlace) {
    const std::wstring folder = local_folder("H");
    local_file("H/d.txt", "delta");
    std::mutex lock;
    std::condition_variable changed;
    bool paused = false, resume = false;
    win_test::set_worker_start_hook([&] {
        std::unique_lock<std::mutex> hold(lock);
        paused = true;
        changed.notify_all();
        changed.wait(hold, [&] { return resume; });
    });
    IDropTarget* target = target_of();
    ASSERT_TRUE(target);
    auto* data = new shell_host::local_files_data_object({folder}, true);
    EXPECT_EQ(shell_host::drop_data_object(target, data, false).result, S_OK);
    {
        std::unique_lock<std::mutex> hold(lock);
        ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(30), [&] { return paused; }));
    }
    target->Release();
    browser.close();
    shell_host::unload_unused_servers();
    EXPECT_EQ(extension_can_unload(), S_FALSE) << "the waiting worker keeps it loaded";
    {
        std::lock_guard<std::mutex> hold(lock);
        resume = true;
    }
    changed.notify_all();
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_TRUE(data->wait_for_end(std::chrono::seconds(60), effect));
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    data->Release();
    win_test::set_worker_start_hook(nullptr);
    EXPECT_TRUE(process_.wait_until_released(std::chrono::seconds(30)));
    EXPECT_EQ(remote(L"H\\d.txt"), "delta");
    shell_host::unload_unused_servers();
    EXPECT_EQ(extension_can_unload(), E_UNEXPECTED) << "unloaded once the worker has ended";
}

TEST_F(ShellDrop, ShiftMovesAndTheHostDeletesTheSourcesOnlyAfterAMove) {
    const std::wstring tree = local_folder("M");
    local_file("M/one.txt", "one");
    local_file("M/two.bin", pattern(20000, 3));
    IDropTarget* target = target_of();
    const auto moved = shell_host::drop_local_files(target, {tree}, true, true);
    EXPECT_EQ(moved.effect, DROPEFFECT_MOVE);
    EXPECT_EQ(remote(L"M\\two.bin"), pattern(20000, 3));
    EXPECT_FALSE(fs::exists(local_ / "M"));

    // A declined replace is no complete move: the source stays.
    const std::wstring again = local_file("kept.txt", "new");
    IDropTarget* docs = target_of(L"Docs");
    ASSERT_TRUE(docs);
    win_test::scoped_message_box_responder no(
        [](const std::wstring&, const std::wstring&, UINT) { return IDNO; });
    const auto declined = shell_host::drop_local_files(docs, {again}, false, true);
    EXPECT_EQ(declined.effect, DROPEFFECT_NONE);
    EXPECT_TRUE(fs::exists(local_ / "kept.txt"));
    EXPECT_EQ(remote(L"Docs\\kept.txt"), "original");
    docs->Release();
    target->Release();
}

TEST_F(ShellDrop, ADropOnAFileItemUploadsIntoItsFolder) {
    IDropTarget* on_file = target_of(L"beta");
    ASSERT_TRUE(on_file);
    const auto dropped = shell_host::drop_local_files(
        on_file, {local_file("next.txt", "beside beta")}, false, false);
    EXPECT_EQ(dropped.result, S_OK);
    EXPECT_EQ(dropped.effect, DROPEFFECT_COPY);
    EXPECT_EQ(remote(L"next.txt"), "beside beta");
    on_file->Release();
}

TEST_F(ShellDrop, ACutTransferEndsWithTheWholeFile) {
    calvimora::testing::transfer_fault cut;
    cut.direction = "upload";
    cut.kind = "cut";
    cut.after = 30000;
    env_.service().arm(cut);
    // Any step error the cut causes is retried.
    win_test::scoped_message_box_responder retry(
        [&](const std::wstring&, const std::wstring&, UINT) { return IDRETRY; });
    IDropTarget* target = target_of(L"Docs");
    const std::string bytes = pattern(100000, 4);
    const auto dropped =
        shell_host::drop_local_files(target, {local_file("cut.bin", bytes)}, false, false);
    EXPECT_EQ(dropped.effect, DROPEFFECT_COPY);
    EXPECT_EQ(remote(L"Docs\\cut.bin"), bytes);
    target->Release();
}

TEST_F(ShellDrop, ADragBetweenRemoteFoldersIsCopiedAndMovedByTheService) {
    ASSERT_EQ(browser.enter(std::distance(
                  browser.items().begin(),
                  std::find_if(browser.items().begin(), browser.items().end(),
                               [](const auto& item) { return item.name == L"Docs"; }))),
              S_OK);
    IDataObject* kept = data_object_of({L"kept.txt"});
    ASSERT_TRUE(kept);
    IDropTarget* docs = target_of();
    EXPECT_EQ(shell_host::drop_data_object(docs, kept, false).result, E_FAIL)
        << "items dropped on their own folder";
    docs->Release();
    ASSERT_EQ(browser.up(), S_OK);

    env_.service().transfer_commands(true);
    IDropTarget* alpha = target_of(L"Alpha");
    ASSERT_TRUE(alpha);
    const auto copied = shell_host::drop_data_object(alpha, kept, false);
    EXPECT_EQ(copied.result, S_OK);
    EXPECT_EQ(copied.effect, DROPEFFECT_NONE) << "the source never deletes what the service copied";
    EXPECT_EQ(remote(L"Alpha\\kept.txt"), "original");
    EXPECT_TRUE(remote_exists(L"Docs", L"kept.txt"));
    for (const auto& command : env_.service().transfer_commands())
        EXPECT_NE(command.command, "STOR") << "bytes moved through the client";

    win_test::scoped_message_box_responder yes(
        [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    const auto moved = shell_host::drop_data_object(alpha, kept, true);
    EXPECT_EQ(moved.effect, DROPEFFECT_NONE);
    EXPECT_EQ(remote(L"Alpha\\kept.txt"), "original");
    EXPECT_FALSE(remote_exists(L"Docs", L"kept.txt")) << "moved by the service";
    alpha->Release();
    kept->Release();
}

TEST_F(ShellDrop, AFolderDroppedIntoItselfIsRefused) {
    IDataObject* docs_folder = data_object_of({L"Docs"});
    ASSERT_TRUE(docs_folder);
    IDropTarget* docs = target_of(L"Docs");
    ASSERT_TRUE(docs);
    EXPECT_EQ(shell_host::drop_data_object(docs, docs_folder, false).result, E_FAIL);
    EXPECT_FALSE(remote_exists(L"Docs", L"Docs"));
    docs->Release();
    docs_folder->Release();
}

TEST_F(ShellDrop, APersonCopiesAndMovesLocalFilesInOnTheTerminal) {
    browser.close();
    const std::wstring copied = local_file("typed.txt", "typed in");
    const std::wstring moved = local_file("moved.txt", "moved in");
    std::istringstream typed("put " + fs::path(copied).string() + "\nmove " +
                             fs::path(moved).string() + "\nquit\n");
    std::ostringstream shown;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, typed, shown), 0);
    EXPECT_EQ(shown.str().find("failed"), std::string::npos) << shown.str();
    EXPECT_NE(shown.str().find("typed.txt"), std::string::npos) << "the listing after the drop";
    EXPECT_EQ(remote(L"typed.txt"), "typed in");
    EXPECT_EQ(remote(L"moved.txt"), "moved in");
    EXPECT_TRUE(fs::exists(local_ / "typed.txt"));
    EXPECT_FALSE(fs::exists(local_ / "moved.txt"));
}

TEST_F(ShellDrop, VirtualFilesOfAnotherProgramArriveWhole) {
    const std::string attachment = pattern(40000, 5);
    foreign_files mail({{L"Mail", true, ""},
                        {L"Mail\\letter.txt", false, "dear alice"},
                        {L"Mail\\photo.bin", false, attachment}});
    IDropTarget* target = target_of();
    const auto dropped = shell_host::drop_data_object(target, &mail, false);
    EXPECT_EQ(dropped.result, S_OK);
    EXPECT_EQ(dropped.effect, DROPEFFECT_COPY);
    EXPECT_EQ(remote(L"Mail\\letter.txt"), "dear alice");
    EXPECT_EQ(remote(L"Mail\\photo.bin"), attachment);
    target->Release();
    EXPECT_EQ(mail.references, 1u) << "the target let the data object go";
}

// Names that cannot cross to the service one to one are left out of a
// Shift-move, which then keeps every local source and says why.
TEST_F(ShellDrop, AShiftMoveLeavesOutNamesEqualButForCase) {
    expect_move_keeps({{"N/Report.txt", "upper"}, {"N/report.txt", "lower"}, {"N/other.txt", "o"}},
                      {"Report.txt: another item beside it", "report.txt: another item beside it"});
    EXPECT_EQ(remote(L"N\\other.txt"), "o") << "the rest is copied";
    EXPECT_FALSE(remote_exists(L"N", L"Report.txt"));
    EXPECT_FALSE(remote_exists(L"N", L"report.txt"));
}

TEST_F(ShellDrop, AShiftMoveNeverReadsTheFileABackslashInANameSpells) {
    expect_move_keeps({{"N/x\\y", "literal"}, {"N/x/y", "nested"}}, {"x\\y: the name holds"});
    EXPECT_EQ(remote(L"N\\x\\y"), "nested");
    EXPECT_FALSE(remote_exists(L"N", L"y"));
}

TEST_F(ShellDrop, AShiftMoveNeverReadsAFileOutsideTheDroppedTree) {
    local_file("outside.txt", "secret");
    expect_move_keeps({{"N/..\\outside.txt", "inner"}, {"N/in.txt", "in"}},
                      {"..\\outside.txt: the name holds"});
    EXPECT_EQ(remote(L"N\\in.txt"), "in");
    EXPECT_FALSE(remote_exists(L"N", L"outside.txt"));
    EXPECT_EQ(local_contents(local_ / "outside.txt"), "secret");
}

TEST_F(ShellDrop, AShiftMoveLeavesOutNamesThatAreNotTextAndStillSizesTheRest) {
    // "\xEF\xBF\xBD" is the replacement character that "\xff" and "\xfe"
    // would be read as.
    expect_move_keeps({{"N/\xff.txt", "raw"},
                       {"N/\xEF\xBF\xBD.txt", "spelled"},
                       {"N/\xfe/inner.txt", "below a folder whose name is not text"}},
                      {"not valid UTF-8"});
    EXPECT_EQ(remote(L"N\\\uFFFD.txt"), "spelled");
}

TEST_F(ShellDrop, AShortForeignStreamFailsItsFileAndTheDropIsNoMove) {
    foreign_files mail({{L"Mail", true, ""},
                        {L"Mail\\short.bin", false, pattern(40000, 6), 20000},
                        {L"Mail\\whole.txt", false, "whole"}});
    win_test::scoped_message_box_responder yes(yes_and_give_up);
    IDropTarget* target = target_of();
    const auto dropped = shell_host::drop_data_object(target, &mail, true);
    target->Release();
    EXPECT_EQ(dropped.effect, DROPEFFECT_NONE);
    EXPECT_EQ(remote(L"Mail\\whole.txt"), "whole");
    EXPECT_FALSE(remote_exists(L"Mail", L"short.bin")) << "nothing under its name";
}

TEST_F(ShellDrop, ForeignRecordsNoListingReachesAreNamedAndMakeNoMove) {
    foreign_files mail({{L"Orphan\\a.txt", false, "orphan"},
                        {L"\\lead.txt", false, "lead"},
                        {L"Mail", true, ""},
                        {L"Mail\\Case.txt", false, "upper"},
                        {L"Mail\\case.txt", false, "lower"},
                        {L"ok.txt", false, "ok"}});
    win_test::scoped_message_box_responder yes(yes_and_give_up);
    IDropTarget* target = target_of();
    const auto dropped = shell_host::drop_data_object(target, &mail, true);
    target->Release();
    EXPECT_EQ(dropped.effect, DROPEFFECT_NONE);
    EXPECT_EQ(remote(L"ok.txt"), "ok");
    EXPECT_FALSE(remote_exists(L"Mail", L"case.txt"));
    const std::string summary = left_out_summary();
    for (const char* entry : {"Orphan\\a.txt: its folder", "\\lead.txt: the name is empty",
                              "Mail\\Case.txt: another item", "Mail\\case.txt: another item"})
        EXPECT_NE(summary.find(entry), std::string::npos) << entry << " in: " << summary;
}

TEST_F(ShellDrop, AFolderMovedBetweenRemoteFoldersLeavesNoEmptiedSourceBehind) {
    const std::string inner = env_.service().add_folder(user_, docs_, "Inner");
    env_.service().add_file(user_, inner, "deep.txt", "deep");
    IDataObject* docs = data_object_of({L"Docs"});
    ASSERT_TRUE(docs);
    IDropTarget* alpha = target_of(L"Alpha");
    ASSERT_TRUE(alpha);
    win_test::scoped_message_box_responder yes(yes_and_give_up);
    const auto moved = shell_host::drop_data_object(alpha, docs, true);
    alpha->Release();
    docs->Release();
    EXPECT_EQ(moved.result, S_OK);
    EXPECT_EQ(remote(L"Alpha\\Docs\\kept.txt"), "original");
    EXPECT_EQ(remote(L"Alpha\\Docs\\Inner\\deep.txt"), "deep");
    const auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
    for (const auto& item : root->list_items())
        EXPECT_NE(item->get_name(), L"Docs") << "the emptied source tree is gone";
    EXPECT_TRUE(remote_exists(L"Trash", L"Docs")) << "to the trash, as the service's move";
}

TEST_F(ShellDrop, AFolderTheMoveDidNotEmptyStays) {
    const std::string gamma_id = env_.service().add_folder(user_, "0", "Gamma");
    const std::string held = env_.service().add_folder(user_, gamma_id, "Docs");
    env_.service().add_file(user_, held, "kept.txt", "theirs");
    ASSERT_EQ(browser.list(), S_OK);
    IDataObject* docs = data_object_of({L"Docs"});
    ASSERT_TRUE(docs);
    IDropTarget* gamma = target_of(L"Gamma");
    ASSERT_TRUE(gamma);
    // Merge, but keep the file already there.
    win_test::scoped_message_box_responder merge_only([](const std::wstring& text,
                                                         const std::wstring& caption, UINT type) {
        return text.find(L"Replace?") != std::wstring::npos ? IDNO
                                                            : yes_and_give_up(text, caption, type);
    });
    shell_host::drop_data_object(gamma, docs, true);
    gamma->Release();
    docs->Release();
    EXPECT_EQ(remote(L"Docs\\kept.txt"), "original") << "the source folder and its file stay";
    EXPECT_EQ(remote(L"Gamma\\Docs\\kept.txt"), "theirs");
}

// A selection of alice's "Docs\\kept.txt" as the extension itself writes
// it: the folder's item id list, then the item's, after the count and two
// offsets. The browser is left at the top.
std::string selection_of_docs_kept(shell_host::shell_browser& browser) {
    const auto docs_at = std::find_if(browser.items().begin(), browser.items().end(),
                                      [](const auto& item) { return item.name == L"Docs"; });
    EXPECT_EQ(browser.enter(std::distance(browser.items().begin(), docs_at)), S_OK);
    EXPECT_EQ(browser.list(), S_OK);
    EXPECT_EQ(browser.items().size(), 1u);
    IPersistFolder2* persist = nullptr;
    EXPECT_EQ(
        browser.folder()->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist)),
        S_OK);
    PIDLIST_ABSOLUTE docs = nullptr;
    EXPECT_EQ(persist->GetCurFolder(&docs), S_OK);
    persist->Release();
    const UINT folder_size = ILGetSize(docs);
    const UINT item_size = ILGetSize(browser.items()[0].id);
    std::string selection(12 + folder_size + item_size, '\0');
    const UINT header[3] = {1, 12, 12 + folder_size};
    std::memcpy(selection.data(), header, sizeof header);
    std::memcpy(selection.data() + 12, docs, folder_size);
    std::memcpy(selection.data() + 12 + folder_size, browser.items()[0].id, item_size);
    CoTaskMemFree(docs);
    EXPECT_EQ(browser.up(), S_OK);
    EXPECT_EQ(browser.list(), S_OK);
    return selection;
}

// Another program's object that offers the extension's mark and a
// selection of alice's file: its files are virtual files like any other
// program's, and the service never moves her file by the ids and names it
// supplies.
TEST_F(ShellDrop, AnotherProgramsObjectWithTheExtensionsMarkIsOnlyVirtualFiles) {
    const std::string selection = selection_of_docs_kept(browser);
    foreign_files posing({{L"kept.txt", false, "forged"}});
    const DWORD mark = 1;
    posing.offer(L"Calvimora_DataObject", std::string(reinterpret_cast<const char*>(&mark), 4));
    posing.offer(CFSTR_SHELLIDLIST, selection);
    IDropTarget* alpha = target_of(L"Alpha");
    ASSERT_TRUE(alpha);
    const auto moved = shell_host::drop_data_object(alpha, &posing, true);
    EXPECT_EQ(moved.result, S_OK);
    EXPECT_EQ(remote(L"Alpha\\kept.txt"), "forged") << "the bytes the program offered";
    EXPECT_TRUE(remote_exists(L"Docs", L"kept.txt")) << "alice's file stays where it was";
    EXPECT_EQ(remote(L"Docs\\kept.txt"), "original");
    alpha->Release();
    EXPECT_EQ(posing.references, 1u);
}

// The same object made by a second process and left on the clipboard:
// pasted with a move, it moves nothing of alice's.
TEST_F(ShellDrop, AnotherProcesssObjectWithTheExtensionsMarkMovesNothing) {
    const std::filesystem::path selection_file = local_ / "selection";
    std::ofstream(selection_file, std::ios::binary) << selection_of_docs_kept(browser);
    const std::string command = "'" + (program_folder() / "shell_drop_helper").string() +
                                "' pose '" + selection_file.string() + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    IDataObject* pasted = nullptr;
    ASSERT_EQ(OleGetClipboard(&pasted), S_OK);
    IDropTarget* alpha = target_of(L"Alpha");
    ASSERT_TRUE(alpha);
    win_test::scoped_message_box_responder yes(yes_and_give_up);
    const auto moved = shell_host::drop_data_object(alpha, pasted, true);
    alpha->Release();
    pasted->Release();
    EXPECT_NE(moved.effect, static_cast<DWORD>(DROPEFFECT_MOVE));
    EXPECT_EQ(remote(L"Docs\\kept.txt"), "original") << "alice's file stays where it was";
    EXPECT_FALSE(remote_exists(L"Alpha", L"kept.txt"));
}

// The drop worker reads the files through the source's thread: the host
// must retrieve its messages for the drop to end.
TEST_F(ShellDrop, VirtualFilesOfAnAsynchronousSourceArriveWhileTheHostPumps) {
    const std::string attachment = pattern(90000, 6);
    foreign_files mail({{L"Later", true, ""},
                        {L"Later\\letter.txt", false, "dear alice"},
                        {L"Later\\photo.bin", false, attachment}},
                       true);
    IDropTarget* target = target_of();
    const auto dropped = shell_host::drop_data_object(target, &mail, false);
    EXPECT_EQ(dropped.result, S_OK);
    EXPECT_EQ(dropped.effect, DROPEFFECT_NONE) << "the effect comes with the end";
    ASSERT_TRUE(shell_host::pump_messages_until([&] { return mail.ended && mail.references == 1; },
                                                std::chrono::minutes(2)));
    EXPECT_EQ(mail.end_effect, DROPEFFECT_COPY);
    EXPECT_EQ(remote(L"Later\\letter.txt"), "dear alice");
    EXPECT_EQ(remote(L"Later\\photo.bin"), attachment);
    EXPECT_EQ(mail.calls_elsewhere, 0) << "every call came through the host's own thread";
    target->Release();
}

}  // namespace
