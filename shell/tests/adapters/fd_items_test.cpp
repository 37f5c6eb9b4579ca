// Virtual files of a foreign data object as a read-only tree: the levels
// of the descriptor block, the contents streams, and blocks and names that
// lie about themselves.
#include "folder/adapters/fd_items.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>

#include "folder/drop/drop_upload.h"
#include "memory_remote.h"
#include "win/clipboard.h"
#include "win/com.h"
#include "win/file.h"
#include "win/global_memory.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/test_stream.h"
#include "win/user_dialog.h"

namespace {

using namespace shell_testing;

struct virtual_entry {
    virtual_entry(std::wstring name, bool directory, std::string contents = {},
                  std::int64_t written = vfs::no_date)
        : name(std::move(name)),
          directory(directory),
          contents(std::move(contents)),
          written(written) {}
    std::wstring name;
    bool directory;
    std::string contents;
    std::int64_t written;  // seconds since 1970, or none
};

FILETIME file_time_of(std::int64_t seconds) {
    const std::uint64_t units = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
    return FILETIME{static_cast<DWORD>(units & 0xFFFFFFFFu), static_cast<DWORD>(units >> 32)};
}

// A data object of another program: a descriptor block and one contents
// stream per index.
class foreign_data_object final : public IDataObject {
public:
    explicit foreign_data_object(const std::vector<virtual_entry>& entries) : entries_(entries) {
        block_ = GlobalAlloc(GMEM_MOVEABLE, 4 + sizeof(FILEDESCRIPTORW) * entries.size());
        auto* bytes = static_cast<unsigned char*>(GlobalLock(block_));
        const UINT count = static_cast<UINT>(entries.size());
        std::memcpy(bytes, &count, 4);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            FILEDESCRIPTORW descriptor{};
            win_shell::set_file_descriptor_name(descriptor, entries[i].name);
            if (entries[i].directory) {
                descriptor.dwFlags |= FD_ATTRIBUTES;
                descriptor.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
            }
            if (entries[i].written != vfs::no_date) {
                descriptor.dwFlags |= FD_WRITESTIME;
                descriptor.ftLastWriteTime = file_time_of(entries[i].written);
            }
            std::memcpy(bytes + 4 + i * sizeof descriptor, &descriptor, sizeof descriptor);
        }
        GlobalUnlock(block_);
    }
    ~foreign_data_object() { GlobalFree(block_); }

    HGLOBAL block() const { return block_; }
    // Overwrites bytes of the block (a hostile program's).
    void poke(std::size_t offset, const void* data, std::size_t size) {
        std::memcpy(static_cast<unsigned char*>(GlobalLock(block_)) + offset, data, size);
        GlobalUnlock(block_);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = (iid == IID_IUnknown || iid == IID_IDataObject) ? this : nullptr;
        if (!*object) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (format->cfFormat != RegisterClipboardFormatW(CFSTR_FILECONTENTS)) return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_ISTREAM)) return DV_E_TYMED;
        if (format->lindex < 0 || static_cast<std::size_t>(format->lindex) >= entries_.size())
            return DV_E_LINDEX;
        if (const auto own = streams.find(format->lindex); own != streams.end()) {
            own->second->position = 0;
            own->second->bytes_read = 0;
            own->second->AddRef();
            medium->tymed = TYMED_ISTREAM;
            medium->pstm = own->second;
            medium->pUnkForRelease = nullptr;
            return S_OK;
        }
        const std::string& bytes = entries_[format->lindex].contents;
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        if (!bytes.empty()) {
            std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
            GlobalUnlock(memory);
        }
        IStream* stream = nullptr;
        CreateStreamOnHGlobal(memory, TRUE, &stream);
        medium->tymed = TYMED_ISTREAM;
        medium->pstm = stream;
        medium->pUnkForRelease = nullptr;
        ++streams_handed_out;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    std::atomic<ULONG> references{1};
    int streams_handed_out = 0;
    // Streams of the test's own for some indexes, rewound at each hand-out.
    std::map<LONG, win_test::test_stream*> streams;

private:
    std::vector<virtual_entry> entries_;
    HGLOBAL block_ = nullptr;
};

template <typename File>
constexpr bool writable = requires(File& file) {
    file.write("x", 1);
};

class VirtualFiles : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
    win_machine::scoped_root root;
};

TEST_F(VirtualFiles, LevelsComeFromThePathsAndFilesFromTheirStreams) {
    foreign_data_object data({{L"docs", true},
                              {L"docs\\a.txt", false, "alpha", 1000},
                              {L"Docs\\b.txt", false, "case differs"},
                              {L"orphan\\c.txt", false, "no folder record"},
                              {L"top.bin", false, std::string(40000, 'x')}});
    CFILEDESCRIPTORWrapper tree(&data, data.block());
    const dropped_item_list top = tree.list_items();
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0]->get_name(), L"docs");
    EXPECT_EQ(top[0]->get_type(), vfs::item_type_directory);
    const auto docs = boost::dynamic_pointer_cast<dropped_folder>(top[0]);
    ASSERT_EQ(docs->list_items().size(), 1u) << "levels compare paths exactly";
    const auto a = boost::dynamic_pointer_cast<dropped_file>(docs->get_item(L"A.TXT"));
    ASSERT_TRUE(a) << "lookups ignore case";
    EXPECT_EQ(a->get_modification_date(), 1000);
    EXPECT_EQ(boost::dynamic_pointer_cast<dropped_file>(top[1])->get_modification_date(),
              vfs::no_date)
        << "a record without a write time has no date, never 1970";

    EXPECT_EQ(a->get_size(), 5);
    a->open();
    char buffer[16] = {};
    EXPECT_EQ(a->read(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer, 5), "alpha");
    EXPECT_EQ(a->read(buffer, sizeof buffer), 0);
    EXPECT_THROW(a->open(), vfs::exception);
    a->close();
    EXPECT_THROW(a->read(buffer, 1), vfs::exception);
    static_assert(!writable<CFILEDESCRIPTORFile>,
                  "a virtual file of a drop is read, never written");
}

// Lists the folder and every folder below it; the number of items seen.
std::size_t walk(dropped_folder& folder) {
    std::size_t seen = 0;
    for (const dropped_item_ptr& item : folder.list_items()) {
        ++seen;
        if (auto below = boost::dynamic_pointer_cast<dropped_folder>(item)) seen += walk(*below);
    }
    return seen;
}

// A tree of many folders is walked in time linear in its records: reading
// every record once per folder took seconds here.
TEST_F(VirtualFiles, AWideTreeIsWalkedWithoutRereadingTheBlockPerFolder) {
    std::vector<virtual_entry> entries;
    for (int i = 0; i < 16000; ++i) {
        const std::wstring folder = L"folder-" + std::to_wstring(i);
        entries.emplace_back(folder, true);
        entries.emplace_back(folder + L"\\file.txt", false);
    }
    entries.emplace_back(L"folder-7\\\\deeper.txt", false);  // a run of separators is one
    foreign_data_object data(entries);
    CFILEDESCRIPTORWrapper tree(&data, data.block());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(walk(tree), entries.size());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(VirtualFiles, ABlockShorterThanItsCountIsRefused) {
    foreign_data_object data({{L"a.txt", false, "a"}});
    const UINT lie = 1000;
    data.poke(0, &lie, 4);
    EXPECT_THROW(CFILEDESCRIPTORWrapper(&data, data.block()), vfs::exception);
    EXPECT_THROW(CFILEDESCRIPTORWrapper(nullptr, data.block()), vfs::exception);
    EXPECT_THROW(CFILEDESCRIPTORWrapper(&data, nullptr), vfs::exception);
}

TEST_F(VirtualFiles, NamesTheServiceMustNotSeeFailTheirItemOnly) {
    foreign_data_object data({{L"..", false, "up"},
                              {L"bad\x01name", false, "control"},
                              {L"unended", false, "x"},
                              {L"good.txt", false, "fine", 5000}});
    // A name that fills all 260 units without its end.
    std::vector<char16_t> full(FILE_DESCRIPTOR_NAME_UNITS, u'n');
    data.poke(4 + 2 * sizeof(FILEDESCRIPTORW) + offsetof(FILEDESCRIPTORW, cFileName), full.data(),
              full.size() * sizeof(char16_t));

    auto target = boost::make_shared<memory_folder>(L"Docs");
    win_test::clear_message_boxes();
    win_test::scoped_message_box_responder responder(
        [](const std::wstring&, const std::wstring&, UINT) { return IDIGNORE; });
    const HRESULT result = shell_upload::run_upload_with_progress(
        nullptr, boost::make_shared<CFILEDESCRIPTORWrapper>(&data, data.block()), target, L"Docs",
        DROPEFFECT_COPY, false);
    EXPECT_EQ(result, E_FAIL);
    EXPECT_EQ(win_test::message_boxes().size(), 1u)
        << "the control character's step; \"..\" and the unended name are left out";
    ASSERT_EQ(target->items.size(), 1u) << "only the good name reaches the service";
    EXPECT_EQ(target->file(L"good.txt")->contents, "fine");
    EXPECT_EQ(target->file(L"good.txt")->modified, 5000);
}

TEST_F(VirtualFiles, RecordsThatCannotCrossOrNoListingReachesAreLeftOutWithTheirReasons) {
    foreign_data_object data({{L"Mail", true},
                              {L"mail", false, "twin of a folder"},
                              {L"Mail\\below.txt", false, "below a left-out folder"},
                              {L"dup.txt", false, "1"},
                              {L"dup.txt", false, "2"},
                              {L"\\lead.txt", false, "leading separator"},
                              {L"a\\.\\b", false, "dot part"},
                              {L"ok", true},
                              {L"ok\\fine.txt", false, "fine"}});
    CFILEDESCRIPTORWrapper tree(&data, data.block());
    const dropped_item_list top = tree.list_items();
    ASSERT_EQ(top.size(), 1u);
    EXPECT_EQ(top[0]->get_name(), L"ok");
    EXPECT_EQ(boost::dynamic_pointer_cast<dropped_folder>(top[0])->list_items().size(), 1u);
    const std::vector<std::wstring> skipped = tree.skipped();
    const std::vector<std::wstring> expected{L"Mail: another item",
                                             L"mail: another item",
                                             L"Mail\\below.txt: its folder",
                                             L"dup.txt: another",
                                             L"\\lead.txt: the name is empty",
                                             L"a\\.\\b: the name is empty"};
    ASSERT_EQ(skipped.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(skipped[i].rfind(expected[i], 0), 0u) << i;
}

TEST_F(VirtualFiles, AStreamThatEndsShortOfItsSizeFailsTheRead) {
    win_test::test_stream short_stream(std::vector<BYTE>(40000, 'v'));
    short_stream.short_read_after = 20000;
    win_test::test_stream long_stream(std::vector<BYTE>(100, 'w'));
    foreign_data_object data({{L"short.bin", false}, {L"long.bin", false}});
    data.streams[0] = &short_stream;
    data.streams[1] = &long_stream;
    CFILEDESCRIPTORWrapper tree(&data, data.block());
    const auto read_all = [](const dropped_item_ptr& item) {
        const auto file = boost::dynamic_pointer_cast<dropped_file>(item);
        file->open();
        std::vector<char> buffer(16384);
        std::int64_t total = 0;
        for (int got; (got = file->read(buffer.data(), static_cast<int>(buffer.size()))) > 0;)
            total += got;
        file->close();
        return total;
    };
    EXPECT_THROW(read_all(tree.get_item(L"short.bin")), vfs::exception);
    EXPECT_EQ(read_all(tree.get_item(L"long.bin")), 100) << "a whole stream reads as before";
    // A stream that gives more than its Stat said fails as well.
    long_stream.bytes.resize(50);
    long_stream.position = 0;
    long_stream.bytes_read = 0;
    auto grown = boost::dynamic_pointer_cast<dropped_file>(tree.get_item(L"long.bin"));
    grown->open();
    long_stream.bytes.resize(200, 'w');
    char buffer[300];
    EXPECT_THROW(grown->read(buffer, sizeof buffer), vfs::exception);
    grown->close();
}

}  // namespace
