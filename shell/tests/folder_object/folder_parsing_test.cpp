// Parsing names in the folder object over a scripted session and remote
// tree, and the Save-As list that creation writes into the session's
// mapping.
#include <boost/algorithm/string/replace.hpp>

#include "folder/folder_object/item_rules.h"
#include "folder/folder_object/save_as_list.h"
#include "folder/item_ids/item_id_list.h"
#include "folder/item_ids/utf16_text.h"
#include "folder/module/local_folders.h"
#include "folder_fakes.h"
#include "syncer/manager/manager.h"
#include "win/bind_context.h"
#include "win/kernel.h"

namespace {

using namespace shell_testing;

const std::u16string empty_list = u"<SaveAsFiles></SaveAsFiles>";

// A lookup the service could not answer.
class network_failure : public virtual vfs::exception {
public:
    std::wstring get_title() const override { return L"Connection error"; }
    std::wstring get_text() const override { return L"The service did not answer"; }
};

class unreachable_folder : public steered_folder {
public:
    using steered_folder::steered_folder;
    vfs::item_ptr get_item(const std::wstring&, bool) override { throw network_failure(); }
};

// What a parse gave: its result, the records of the list (after the
// junction's elements when it starts with them), eaten and attributes.
struct parsed {
    HRESULT result = E_UNEXPECTED;
    bool absolute = false;
    std::vector<std::wstring> names;
    ULONG eaten = 0;
    ULONG attributes = 0;
};

class FolderParsing : public FolderTest {
protected:
    void SetUp() override {
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      save_as_list::mapping_bytes, save_as_list::mapping_name);
        ASSERT_NE(mapping_, nullptr);
        view_ = static_cast<char16_t*>(
            MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, save_as_list::mapping_bytes));
        ASSERT_NE(view_, nullptr);
        std::copy(empty_list.begin(), empty_list.end(), view_);
        folder = make_folder();
    }
    void TearDown() override {
        EXPECT_EQ(folder->Release(), 0u);
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
    }

    // A bind context whose mode is the given one.
    IBindCtx* context_with(DWORD mode) {
        IBindCtx* context = nullptr;
        EXPECT_EQ(CreateBindCtx(0, &context), S_OK);
        BIND_OPTS options{sizeof(BIND_OPTS), 0, mode, 0};
        EXPECT_EQ(context->SetBindOptions(&options), S_OK);
        return context;
    }

    parsed parse(IShellFolder2* in, std::wstring name, IBindCtx* context = nullptr) {
        parsed out;
        out.attributes = ~0u;
        PIDLIST_RELATIVE list = reinterpret_cast<PIDLIST_RELATIVE>(1);
        out.result =
            in->ParseDisplayName(nullptr, context, name.data(), &out.eaten, &list, &out.attributes);
        if (FAILED(out.result)) {
            EXPECT_EQ(list, nullptr);
            return out;
        }
        const auto* bytes = reinterpret_cast<const BYTE*>(list);
        out.absolute = std::equal(junction.begin(), junction.end() - 2, bytes);
        const auto* records =
            reinterpret_cast<LPCITEMIDLIST>(out.absolute ? bytes + junction.size() - 2 : bytes);
        if (!ILIsEmpty(records))
            out.names = names_of_records(CItemIdList(records, false).GetItems());
        CoTaskMemFree(list);
        return out;
    }

    parsed create(IShellFolder2* in, const std::wstring& name) {
        IBindCtx* context = context_with(STGM_CREATE);
        parsed out = parse(in, name, context);
        context->Release();
        return out;
    }

    static std::vector<std::wstring> names_of_records(const std::vector<PIDLDATA>& records) {
        std::vector<std::wstring> names;
        for (const PIDLDATA& record : records) names.push_back(pidl_name(record));
        return names;
    }

    std::wstring list_text() const {
        return shell_text::from_utf16(view_, save_as_list::mapping_bytes / sizeof(char16_t));
    }

    // A recorded path is native: "/" between all its levels.
    static std::wstring entry(const std::wstring& below) {
        std::wstring path = shell_utils::GetFilterTempFolder() + L"/" + below;
        boost::replace_all(path, L"\\", L"/");
        return L"<NewFile>" + path + L"</NewFile>";
    }

    // The user's saved-files folder as the folder gives it to programs.
    static std::wstring saved_files() {
        return syncer::manager::get_files_saved_directory(L"alice").wstring();
    }

    IShellFolder2* folder = nullptr;
    HANDLE mapping_ = nullptr;
    char16_t* view_ = nullptr;
};

TEST_F(FolderParsing, RelativeNamesGiveOneRecordPerLevelAndEatASeparatorEach) {
    const parsed found = parse(folder, L"Docs\\a.txt");
    ASSERT_EQ(found.result, S_OK);
    EXPECT_FALSE(found.absolute);
    EXPECT_EQ(found.names, (std::vector<std::wstring>{L"Docs", L"a.txt"}));
    EXPECT_EQ(found.eaten, 11u);
    EXPECT_EQ(found.attributes, folder_rules::attributes_of(make_pidl_data(text_file),
                                                            folder_rules::in_other_host()));

    const parsed one = parse(folder, L"Docs");
    ASSERT_EQ(one.result, S_OK);
    EXPECT_EQ(one.eaten, 5u);
    EXPECT_NE(one.attributes & SFGAO_FOLDER, 0u);
    EXPECT_EQ(list_text(), L"<SaveAsFiles></SaveAsFiles>") << "finding changes nothing";
}

TEST_F(FolderParsing, MissingNamesFailUnlessTheCallerAsksForExactlyCreation) {
    EXPECT_EQ(parse(folder, L"Docs\\new.txt").result, E_FAIL);
    IBindCtx* plain = nullptr;
    ASSERT_EQ(CreateBindCtx(0, &plain), S_OK);
    EXPECT_EQ(parse(folder, L"Docs\\new.txt", plain).result, E_FAIL);
    plain->Release();
    IBindCtx* both = context_with(STGM_CREATE | STGM_READWRITE);
    EXPECT_EQ(parse(folder, L"Docs\\new.txt", both).result, E_FAIL);
    both->Release();
    EXPECT_EQ(list_text(), L"<SaveAsFiles></SaveAsFiles>");

    const parsed made = create(folder, L"Docs\\new.txt");
    ASSERT_EQ(made.result, S_OK);
    EXPECT_EQ(made.names, (std::vector<std::wstring>{L"Docs", L"new.txt"}));
    EXPECT_EQ(made.attributes, 0u);
    EXPECT_EQ(made.eaten, 13u);
    EXPECT_EQ(list_text(), L"<SaveAsFiles>" + entry(L"Docs\\new.txt") + L"</SaveAsFiles>");

    ASSERT_EQ(create(folder, L"other.doc").result, S_OK);
    EXPECT_EQ(list_text(),
              L"<SaveAsFiles>" + entry(L"Docs\\new.txt") + entry(L"other.doc") + L"</SaveAsFiles>");
}

TEST_F(FolderParsing, OnlyTheLastNameIsMadeAndOnlyWhenTheLookupFoundNothing) {
    EXPECT_EQ(create(folder, L"Nowhere\\new.txt").result, E_FAIL) << "a missing middle level";
    EXPECT_EQ(create(folder, L"Alpha.mp3\\new.txt").result, E_FAIL) << "a path through a file";
    EXPECT_EQ(create(folder, L"Docs\\a.txt\\new.txt").result, E_FAIL);

    auto unreachable = boost::make_shared<unreachable_folder>(item_values{L"Far", L"id-Far"});
    remote_root->children.push_back(unreachable);
    EXPECT_EQ(create(folder, L"Far\\new.txt").result, E_FAIL) << "a failed lookup is no absence";
    EXPECT_EQ(list_text(), L"<SaveAsFiles></SaveAsFiles>");
}

TEST_F(FolderParsing, EmptyLevelsAndNamesNoLocalFileCanHaveAreRefused) {
    for (const std::wstring name :
         {L"", L"Docs\\\\a.txt", L"Docs\\", L"\\Docs", L"Docs\\\\new.txt"})
        EXPECT_EQ(create(folder, name).result, E_INVALIDARG)
            << std::string(name.begin(), name.end());
    for (const std::wstring name : {L"Docs\\..", L"Docs\\a:b", L"Docs\\ . "})
        EXPECT_NE(create(folder, name).result, S_OK) << std::string(name.begin(), name.end());
    EXPECT_EQ(list_text(), L"<SaveAsFiles></SaveAsFiles>");
}

// An item id holds 259 UTF-16 units of a name; a character outside the
// basic plane takes two of them.
TEST_F(FolderParsing, ANewNameIsMadeWholeOrRefusedNeverCut) {
    const std::wstring astral(1, static_cast<wchar_t>(0x1F600));
    const HRESULT too_long = HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    EXPECT_EQ(create(folder, std::wstring(260, L'n')).result, too_long);
    EXPECT_EQ(create(folder, std::wstring(258, L'n') + astral).result, too_long);
    EXPECT_EQ(list_text(), L"<SaveAsFiles></SaveAsFiles>");
    const std::wstring longest = std::wstring(257, L'n') + astral;
    const parsed made = create(folder, longest);
    ASSERT_EQ(made.result, S_OK);
    EXPECT_EQ(made.names, std::vector<std::wstring>{longest});
    EXPECT_EQ(list_text(), L"<SaveAsFiles>" + entry(longest) + L"</SaveAsFiles>");
}

TEST_F(FolderParsing, TheSavedFilesFolderMakesANameAbsoluteOnlyAsAWholeLevel) {
    const std::wstring prefix = saved_files();
    ASSERT_EQ(prefix.find(L'\\'), std::wstring::npos);
    const parsed below = parse(folder, prefix + L"/Docs/a.txt");
    ASSERT_EQ(below.result, S_OK);
    EXPECT_TRUE(below.absolute);
    EXPECT_EQ(below.names, (std::vector<std::wstring>{L"Docs", L"a.txt"}));
    EXPECT_EQ(below.eaten, prefix.size() + 1 + 11);
    // A local path written with "\" names the same levels.
    std::wstring written = prefix + L"\\Docs/a.txt";
    boost::replace_all(written, L"/", L"\\");
    const parsed backslashed = parse(folder, written);
    ASSERT_EQ(backslashed.result, S_OK);
    EXPECT_TRUE(backslashed.absolute);
    EXPECT_EQ(backslashed.names, below.names);
    EXPECT_EQ(backslashed.eaten, below.eaten);

    const parsed root = parse(folder, prefix);
    ASSERT_EQ(root.result, S_OK);
    EXPECT_TRUE(root.absolute);
    EXPECT_TRUE(root.names.empty());
    EXPECT_NE(root.attributes & SFGAO_FOLDER, 0u);

    // The same characters running on into a longer name are no prefix.
    const parsed longer = parse(folder, prefix + L"-Docs");
    EXPECT_FALSE(longer.result == S_OK && longer.absolute);
    EXPECT_EQ(parse(folder, prefix + L"/").result, E_INVALIDARG);
    EXPECT_EQ(parse(folder, prefix + L"/Docs//a.txt").result, E_INVALIDARG);
}

TEST_F(FolderParsing, AnAbsoluteNameParsedBelowTheRootRecordsItsPathFromTheRoot) {
    IShellFolder2* inside = nullptr;
    LPITEMIDLIST docs_list = child_list(docs);
    ASSERT_EQ(folder->BindToObject(docs_list, nullptr, IID_IShellFolder2,
                                   reinterpret_cast<void**>(&inside)),
              S_OK);
    CoTaskMemFree(docs_list);

    ASSERT_EQ(create(inside, L"here.txt").result, S_OK);
    const parsed made = create(inside, saved_files() + L"/top.txt");
    ASSERT_EQ(made.result, S_OK);
    EXPECT_TRUE(made.absolute);
    EXPECT_EQ(list_text(),
              L"<SaveAsFiles>" + entry(L"Docs\\here.txt") + entry(L"top.txt") + L"</SaveAsFiles>");
    EXPECT_EQ(inside->Release(), 0u);
}

TEST_F(FolderParsing, EveryEntryOfTheListIsKeptAndNothingElse) {
    const std::u16string held =
        u"<SaveAsFiles><NewFile>C:\\one.txt</NewFile><Other><Deep>1</Deep></Other>"
        u"<NewFile></NewFile><NewFile>C:\\two.txt</NewFile></SaveAsFiles>";
    std::copy(held.begin(), held.end(), view_);
    ASSERT_EQ(create(folder, L"three.txt").result, S_OK);
    EXPECT_EQ(list_text(),
              L"<SaveAsFiles><NewFile>C:\\one.txt</NewFile><NewFile></NewFile>"
              L"<NewFile>C:\\two.txt</NewFile>" +
                  entry(L"three.txt") + L"</SaveAsFiles>");
}

TEST_F(FolderParsing, WithoutTheSessionsListTheItemIsStillMade) {
    UnmapViewOfFile(view_);
    CloseHandle(mapping_);
    const parsed made = create(folder, L"new.txt");
    EXPECT_EQ(made.result, S_OK);
    EXPECT_EQ(made.names, std::vector<std::wstring>{L"new.txt"});
    mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  save_as_list::mapping_bytes, save_as_list::mapping_name);
    view_ = static_cast<char16_t*>(
        MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, save_as_list::mapping_bytes));
    EXPECT_EQ(list_text(), L"") << "a new mapping, untouched";
}

TEST(SaveAsList, TextWithoutItsEndOrThatWouldNotFitLeavesTheListAsItWas) {
    // No zero unit anywhere: the text is not read past the view.
    std::u16string full(100, u'x');
    std::copy(empty_list.begin(), empty_list.end(), full.begin());
    const std::u16string before = full;
    EXPECT_FALSE(save_as_list::add_entry(full.data(), full.size(), L"C:\\a.txt"));
    EXPECT_EQ(full, before);

    // "<SaveAsFiles><NewFile>C:\a.txt</NewFile></SaveAsFiles>" is 54 units:
    // it needs 55 with its zero.
    const std::u16string grown = u"<SaveAsFiles><NewFile>C:\\a.txt</NewFile></SaveAsFiles>";
    ASSERT_EQ(grown.size(), 54u);
    std::u16string tight = empty_list + std::u16string(54 - empty_list.size(), u'\0');
    const std::u16string tight_before = tight;
    EXPECT_FALSE(save_as_list::add_entry(tight.data(), tight.size(), L"C:\\a.txt"));
    EXPECT_EQ(tight, tight_before);

    std::u16string room = empty_list + std::u16string(55 - empty_list.size(), u'\0');
    EXPECT_TRUE(save_as_list::add_entry(room.data(), room.size(), L"C:\\a.txt"));
    EXPECT_EQ(room, grown + u'\0');

    std::u16string garbage = u"no list here" + std::u16string(100, u'\0');
    const std::u16string garbage_before = garbage;
    EXPECT_FALSE(save_as_list::add_entry(garbage.data(), garbage.size(), L"C:\\a.txt"));
    EXPECT_EQ(garbage, garbage_before);
}

TEST(SaveAsList, ALongerListIsCutBackToItsNewEndWithZeros) {
    std::u16string units = u"<SaveAsFiles><Old>aaaaaaaaaaaaaaaaaaaa</Old></SaveAsFiles>";
    units += std::u16string(40, u'\0');
    ASSERT_TRUE(save_as_list::add_entry(units.data(), units.size(), L"b"));
    const std::u16string expected = u"<SaveAsFiles><NewFile>b</NewFile></SaveAsFiles>";
    EXPECT_EQ(units.substr(0, expected.size()), expected);
    EXPECT_EQ(units.find_first_not_of(u'\0', expected.size()), std::u16string::npos);
}

}  // namespace
