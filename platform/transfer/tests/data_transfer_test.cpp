#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "win/shell_dragdrop.h"

namespace {

// Counts its releases, so a test sees who released what.
class counted_object final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

HGLOBAL block_of(const std::vector<BYTE>& bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(block), bytes.data(), bytes.size());
    GlobalUnlock(block);
    return block;
}

std::vector<BYTE> drop_header(DWORD names_at, BOOL wide) {
    DROPFILES header{};
    header.pFiles = names_at;
    header.fWide = wide;
    std::vector<BYTE> bytes(sizeof header);
    std::memcpy(bytes.data(), &header, sizeof header);
    return bytes;
}

void append_utf16(std::vector<BYTE>& bytes, const std::u16string& text) {
    for (char16_t unit : text) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
}

std::wstring query(HDROP drop, UINT index) {
    const UINT length = DragQueryFileW(drop, index, nullptr, 0);
    std::wstring name(length + 1, L'\0');
    EXPECT_EQ(DragQueryFileW(drop, index, name.data(), length + 1), length);
    name.resize(length);
    return name;
}

TEST(Media, ReleaseFreesTheBlockOrOnlyReleasesTheReleaseObject) {
    STGMEDIUM own{};
    own.tymed = TYMED_HGLOBAL;
    own.hGlobal = GlobalAlloc(GHND, 4);
    HGLOBAL freed = own.hGlobal;
    ReleaseStgMedium(&own);
    EXPECT_EQ(own.tymed, TYMED_NULL);
    EXPECT_EQ(own.hGlobal, nullptr);
    EXPECT_EQ(GlobalFree(freed), freed);  // already freed

    counted_object owner;
    owner.AddRef();
    STGMEDIUM lent{};
    lent.tymed = TYMED_HGLOBAL;
    lent.hGlobal = GlobalAlloc(GHND, 4);
    HGLOBAL kept = lent.hGlobal;
    lent.pUnkForRelease = &owner;
    ReleaseStgMedium(&lent);
    EXPECT_EQ(owner.references, 1u);
    EXPECT_EQ(GlobalFree(kept), nullptr);  // the owner's block is still there

    IStream* stream = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &stream), S_OK);
    stream->AddRef();
    STGMEDIUM streamed{};
    streamed.tymed = TYMED_ISTREAM;
    streamed.pstm = stream;
    ReleaseStgMedium(&streamed);
    EXPECT_EQ(stream->Release(), 0u);
    ReleaseStgMedium(nullptr);
}

TEST(Media, DuplicateCopiesTheBytesIntoANewBlock) {
    HGLOBAL source = block_of({1, 2, 3, 4, 5});
    HANDLE copy = OleDuplicateData(source, CF_TEXT, 0);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, source);
    ASSERT_EQ(GlobalSize(copy), 5u);
    EXPECT_EQ(std::memcmp(GlobalLock(copy), "\1\2\3\4\5", 5), 0);
    GlobalUnlock(copy);
    GlobalFree(copy);
    GlobalFree(source);
    EXPECT_EQ(OleDuplicateData(source, CF_TEXT, 0), nullptr);  // not a block any more
}

TEST(DroppedFiles, NamesAreCountedMeasuredAndCopiedCut) {
    HDROP drop = win_shell::make_drop_files({L"/tmp/a.txt", L"/tmp/\U0001F600 b", L"c"});
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0), 3u);
    EXPECT_EQ(query(drop, 0), L"/tmp/a.txt");
    EXPECT_EQ(query(drop, 1), L"/tmp/\U0001F600 b");  // a surrogate pair is one character
    EXPECT_EQ(query(drop, 2), L"c");
    EXPECT_EQ(DragQueryFileW(drop, 3, nullptr, 0), 0u);
    wchar_t small[5];
    EXPECT_EQ(DragQueryFileW(drop, 0, small, 5), 4u);
    EXPECT_EQ(std::wstring(small), L"/tmp");
    DragFinish(drop);
}

TEST(DroppedFiles, NarrowListsAreReadInTheAnsiCodePage) {
    std::vector<BYTE> bytes = drop_header(sizeof(DROPFILES), FALSE);
    for (BYTE b : std::string("caf\xE9\0x\0\0", 8)) bytes.push_back(b);
    HGLOBAL drop = block_of(bytes);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0), 2u);
    EXPECT_EQ(query(drop, 0), L"caf\u00E9");
    EXPECT_EQ(win_shell::read_drop_files(GlobalLock(drop), GlobalSize(drop)),
              (std::vector<std::wstring>{L"caf\u00E9", L"x"}))
        << "all names at once read as one by one";
    GlobalUnlock(drop);
    GlobalFree(drop);
}

TEST(DroppedFiles, HostileBlocksAreReadOnlyWithinTheirBytes) {
    // Names that point past the block, or into the header.
    for (DWORD names_at : {DWORD{0}, DWORD{8}, DWORD{20}, DWORD{4096}}) {
        HGLOBAL drop = block_of(drop_header(names_at, TRUE));
        EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0), 0u) << names_at;
        GlobalFree(drop);
    }
    // A list without its final NUL ends at the block's end; a name without
    // its own NUL is not a name.
    std::vector<BYTE> bytes = drop_header(sizeof(DROPFILES), TRUE);
    append_utf16(bytes, u"one");
    append_utf16(bytes, std::u16string(1, u'\0'));
    append_utf16(bytes, u"cut");
    HGLOBAL drop = block_of(bytes);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0), 1u);
    EXPECT_EQ(query(drop, 0), L"one");
    GlobalFree(drop);
    // An odd byte at the end, a block too short for a header, not a block.
    bytes = drop_header(sizeof(DROPFILES), TRUE);
    append_utf16(bytes, u"x");
    bytes.push_back(0);
    drop = block_of(bytes);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0), 0u);
    GlobalFree(drop);
    drop = block_of({1, 2, 3});
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0), 0u);
    GlobalFree(drop);
    EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0), 0u);
}

TEST(FileDescriptors, TheGroupMustHoldEveryDescriptorItCounts) {
    std::vector<BYTE> bytes(4 + 2 * sizeof(FILEDESCRIPTORW));
    const UINT two = 2;
    std::memcpy(bytes.data(), &two, 4);
    FILEDESCRIPTORW second{};
    second.dwFlags = FD_FILESIZE;
    second.nFileSizeLow = 77;
    std::memcpy(bytes.data() + 4 + sizeof(FILEDESCRIPTORW), &second, sizeof second);
    auto read = win_shell::read_file_group_descriptor(bytes.data(), bytes.size());
    ASSERT_TRUE(read);
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[1].nFileSizeLow, 77u);

    EXPECT_FALSE(win_shell::read_file_group_descriptor(bytes.data(), bytes.size() - 1));
    const UINT huge = 0xFFFFFFFFu;
    std::memcpy(bytes.data(), &huge, 4);
    EXPECT_FALSE(win_shell::read_file_group_descriptor(bytes.data(), bytes.size()));
    EXPECT_FALSE(win_shell::read_file_group_descriptor(bytes.data(), 3));
    EXPECT_TRUE(win_shell::read_file_group_descriptor("\0\0\0\0", 4)->empty());
}

TEST(FileDescriptors, NamesEndWithinTheirUnitsAndAreStoredCut) {
    FILEDESCRIPTORW descriptor{};
    EXPECT_TRUE(win_shell::set_file_descriptor_name(descriptor, L"F\\\U0001F600.txt"));
    EXPECT_EQ(win_shell::file_descriptor_name(descriptor), L"F\\\U0001F600.txt");

    const std::wstring long_name(300, L'n');
    EXPECT_FALSE(win_shell::set_file_descriptor_name(descriptor, long_name));
    EXPECT_EQ(win_shell::file_descriptor_name(descriptor), long_name.substr(0, 259));
    // A pair that would be split at the cut is dropped whole.
    EXPECT_FALSE(
        win_shell::set_file_descriptor_name(descriptor, std::wstring(258, L'n') + L"\U0001F600"));
    EXPECT_EQ(win_shell::file_descriptor_name(descriptor)->size(), 258u);

    std::fill(std::begin(descriptor.cFileName), std::end(descriptor.cFileName), u'x');
    EXPECT_FALSE(win_shell::file_descriptor_name(descriptor));
}

// A CIDA of the lists given as element payload sizes (each list one element).
std::vector<BYTE> id_array_of(const std::vector<WORD>& element_sizes) {
    const UINT count = static_cast<UINT>(element_sizes.size() - 1);
    std::vector<BYTE> bytes(4 + 4 * element_sizes.size());
    std::memcpy(bytes.data(), &count, 4);
    for (size_t i = 0; i < element_sizes.size(); ++i) {
        const UINT offset = static_cast<UINT>(bytes.size());
        std::memcpy(bytes.data() + 4 + 4 * i, &offset, 4);
        const WORD size = element_sizes[i];
        bytes.push_back(static_cast<BYTE>(size & 0xFF));
        bytes.push_back(static_cast<BYTE>(size >> 8));
        bytes.resize(bytes.size() + (size ? size - 2 : 0), static_cast<BYTE>(i));
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

TEST(IdArrays, ListsAreCopiedOnlyWhenTheyLieWithinTheBlock) {
    std::vector<BYTE> bytes = id_array_of({0, 6, 10});
    auto read = win_shell::read_id_array(bytes.data(), bytes.size());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->folder.size(), 2u);  // the desktop: only the terminator
    ASSERT_EQ(read->items.size(), 2u);
    EXPECT_EQ(read->items[0].size(), 8u);
    EXPECT_EQ(read->items[1].size(), 12u);
    EXPECT_EQ(read->items[1][2], 2);

    EXPECT_FALSE(win_shell::read_id_array(bytes.data(), bytes.size() - 1));  // last list cut
    std::vector<BYTE> bad = bytes;
    const UINT outside = 100000;
    std::memcpy(bad.data() + 8, &outside, 4);
    EXPECT_FALSE(win_shell::read_id_array(bad.data(), bad.size()));
    bad = bytes;
    const UINT many = 0x40000000;
    std::memcpy(bad.data(), &many, 4);
    EXPECT_FALSE(win_shell::read_id_array(bad.data(), bad.size()));
    EXPECT_FALSE(win_shell::read_id_array(bytes.data(), 2));

    const auto folder = win_shell::read_id_array_folder(bytes.data(), bytes.size());
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, read->folder);
    EXPECT_FALSE(win_shell::read_id_array_folder(bytes.data(), bytes.size() - 1));
}

// 128 KiB whose 16,384 offsets all point at one list of 64 KiB: read list
// by list it asks for a gigabyte of copies. The lists of a block never
// share bytes, so it is refused as soon as they outgrow it.
TEST(IdArrays, OffsetsThatPointAtOneListManyTimesAreRefusedAtOnce) {
    const UINT count = 16383;
    const size_t header = 4 + (count + 1) * 4;
    std::vector<BYTE> bomb(128 * 1024, 0);
    std::memcpy(bomb.data(), &count, 4);
    for (UINT i = 0; i <= count; ++i) {
        const UINT offset = static_cast<UINT>(header);
        std::memcpy(bomb.data() + 4 + i * 4, &offset, 4);
    }
    for (size_t at = header; at + 4 + 2 <= bomb.size(); at += 4) bomb[at] = 4;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(win_shell::read_id_array(bomb.data(), bomb.size()));
    EXPECT_FALSE(win_shell::read_id_array_folder(bomb.data(), bomb.size()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
