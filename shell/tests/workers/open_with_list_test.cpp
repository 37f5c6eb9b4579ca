// The program lists over a classes root of test programs.
#include "folder/workers/open_with_list.h"

#include <gtest/gtest.h>

#include "test_programs.h"
#include "win/machine.h"
#include "win/shell_folder2.h"
#include "win/shell_item.h"

namespace {

using namespace shell_testing;

class OpenWithLists : public ::testing::Test {
protected:
    void SetUp() override { register_test_programs(L""); }
    void TearDown() override { EXPECT_EQ(win_test::open_registry_keys(), 0u); }

    static std::vector<std::wstring> ids(const COpenWithList& list) {
        std::vector<std::wstring> out;
        for (const auto& program : list.GetPrograms()) out.push_back(program->GetId());
        return out;
    }

    win_machine::scoped_root root;
};

TEST_F(OpenWithLists, DefaultFirstThenEachProgramOnceAtItsFirstPlace) {
    COpenWithList list;
    ASSERT_TRUE(open_with_list(list, L"Song.MP3", false));
    // tunes.exe (default), player.exe from Player.Audio; Player.Audio2,
    // Tunes.File and both OpenWithList entries name programs held already.
    EXPECT_EQ(ids(list), (std::vector<std::wstring>{tunes_exe, player_exe}));
    EXPECT_EQ(list.GetPerceivedType(), L"audio");
    ASSERT_NE(list.GetCurrent(), nullptr);
    EXPECT_EQ(list.GetCurrent()->GetId(), tunes_exe);
    EXPECT_EQ(list.FindById(L"c:\\program files\\player\\PLAYER.EXE"), list.GetPrograms()[1].get());
    EXPECT_EQ(list.FindById(L"C:\\Apps\\other.exe"), nullptr);

    const COpenWithProgram& player = *list.GetPrograms()[1];
    EXPECT_EQ(player.GetClassName(), L"Player.Audio");
    EXPECT_EQ(player.GetFriendlyName(), L"Sound Player");
    EXPECT_EQ(player.GetIcon(), std::wstring(player_exe) + L",0");
    EXPECT_EQ(player.GetVerb(), L"play");
    EXPECT_EQ(player.GetVerbText(), L"&Play");
    EXPECT_TRUE(IsEqualGUID(player.GetDropTarget(), test_drop_handler));
    // The default program came from the association, not by name.
    EXPECT_EQ(list.GetPrograms()[0]->GetClassName(), L"");
    EXPECT_EQ(list.GetPrograms()[0]->GetFriendlyName(), L"Tunes");

    ASSERT_TRUE(open_with_list(list, L"x.mp3", true));
    EXPECT_EQ(ids(list), std::vector<std::wstring>{tunes_exe});
}

TEST_F(OpenWithLists, KeysOfDroppedDuplicatesAreClosed) {
    const size_t before = win_test::open_registry_keys();
    {
        COpenWithList list;
        ASSERT_TRUE(open_with_list(list, L"a.mp3", false));
        // Two kept programs hold their keys; the four dropped ones hold none.
        EXPECT_EQ(win_test::open_registry_keys(), before + 2);
        ASSERT_TRUE(open_with_list(list, L"a.mp3", false));
        EXPECT_EQ(win_test::open_registry_keys(), before + 2);
    }
    EXPECT_EQ(win_test::open_registry_keys(), before);
}

TEST_F(OpenWithLists, TypesThatCannotBeOpened) {
    COpenWithList list;
    // No default program, whatever OpenWithProgIds lists.
    EXPECT_FALSE(open_with_list(list, L"a.nodef", false));
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_FALSE(open_with_list(list, L"README", false));
    EXPECT_FALSE(open_with_list(list, L"a.unknown", false));
    EXPECT_EQ(list.GetCurrent(), nullptr);
}

TEST_F(OpenWithLists, ExtensionIsFromTheLastDot) {
    EXPECT_EQ(open_with_extension(L"a.tar.gz"), L".gz");
    EXPECT_EQ(open_with_extension(L"README"), L"");
    COpenWithList list;
    ASSERT_TRUE(open_with_list(list, L"a.tar.gz", false));
    EXPECT_EQ(ids(list), std::vector<std::wstring>{L"C:\\Apps\\unpack.exe"});
}

TEST_F(OpenWithLists, VerbWithoutKeyOrTextFallsBack) {
    COpenWithList list;
    ASSERT_TRUE(open_with_list(list, L"notes.txt", true));
    const COpenWithProgram& notes = *list.GetCurrent();
    // "shell" names "edit", which has no key: no verb, the title "Open".
    EXPECT_EQ(notes.GetVerb(), L"");
    EXPECT_EQ(notes.GetVerbText(), L"Open");
    EXPECT_TRUE(IsEqualGUID(notes.GetDropTarget(), GUID_NULL));
}

TEST_F(OpenWithLists, PlayersOfBothNames) {
    // The default of .mp3 takes no playlists; the next program does.
    EXPECT_EQ(IntersectOpenWithLists(L"a.mp3", L".m3u"), player_exe);
    EXPECT_EQ(IntersectOpenWithLists(L"a.mp4", L".m3u"), movie_exe);
    EXPECT_EQ(IntersectOpenWithLists(L"a.flac", L".m3u"), L"");
    EXPECT_EQ(IntersectOpenWithLists(L"a.nodef", L".m3u"), L"");

    COpenWithList list;
    ASSERT_TRUE(open_with_list_for_program(list, player_exe));
    ASSERT_EQ(list.GetPrograms().size(), 1u);
    EXPECT_EQ(list.GetCurrent()->GetFriendlyName(), L"Sound Player");
    EXPECT_FALSE(open_with_list_for_program(list, L"C:\\Apps\\stranger.exe"));
}

// A selection of named items, some folders.
class test_item final : public IShellItem {
public:
    test_item(std::wstring name, bool folder) : name_(std::move(name)), folder_(folder) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetParent(IShellItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN form, LPWSTR* name) override {
        if (form != SIGDN_PARENTRELATIVEPARSING) return E_INVALIDARG;
        return SHStrDupW(name_.c_str(), name);
    }
    HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF mask, SFGAOF* attributes) override {
        *attributes = (folder_ ? SFGAO_FOLDER : 0u) & mask;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Compare(IShellItem*, SICHINTF, int*) override { return E_NOTIMPL; }
    ULONG references_ = 1;

private:
    std::wstring name_;
    bool folder_;
};

class test_selection final : public IShellItemArray {
public:
    explicit test_selection(std::vector<test_item*> items) : items_(std::move(items)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override {
        *count = static_cast<DWORD>(items_.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD index, IShellItem** item) override {
        if (index >= items_.size()) return E_INVALIDARG;
        items_[index]->AddRef();
        *item = items_[index];
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems**) override { return E_NOTIMPL; }

private:
    std::vector<test_item*> items_;
};

TEST_F(OpenWithLists, WhatTheOpenCommandCanOpen) {
    test_item song(L"a.mp3", false), other_song(L"b.MP3", false), clip(L"c.mp4", false),
        folder(L"Music", true), text(L"n.txt", false), more_text(L"m.txt", false),
        bare(L"README", false), flac(L"a.flac", false), more_flac(L"b.flac", false);
    const auto prepared = [](std::vector<test_item*> items, DWORD* count = nullptr) {
        test_selection selection(std::move(items));
        COpenWithSelection command;
        const bool result = command.PrepareOpenWithList(&selection);
        if (count) *count = command.GetCount();
        return std::make_pair(result, command.GetList().GetPrograms().size());
    };
    DWORD count = 0;
    EXPECT_EQ(prepared({&song}, &count), std::make_pair(true, size_t{2}));
    EXPECT_EQ(count, 1u);
    // Several audio files: the one player of playlists.
    EXPECT_EQ(prepared({&song, &other_song}, &count), std::make_pair(true, size_t{1}));
    EXPECT_EQ(count, 2u);
    EXPECT_FALSE(prepared({&song, &clip}).first);
    EXPECT_FALSE(prepared({&song, &folder}).first);
    EXPECT_FALSE(prepared({&text, &more_text}).first);  // not media
    EXPECT_FALSE(prepared({&flac, &more_flac}).first);  // not perceived as audio
    EXPECT_FALSE(prepared({&bare}).first);
    EXPECT_FALSE(prepared({}).first);
    EXPECT_EQ(song.references_, 1u);
}

TEST_F(OpenWithLists, TheListFollowsTheSelectionAndOutlivesItForItsHolders) {
    test_item song(L"a.mp3", false), other_song(L"b.mp3", false), folder(L"Music", true),
        text(L"n.txt", false);
    test_selection songs({&song}), folders({&folder}), texts({&text}), both({&song, &other_song});
    COpenWithSelection command;
    ASSERT_TRUE(command.PrepareOpenWithList(&songs));
    const auto first = command.ShareList();
    EXPECT_TRUE(command.PrepareOpenWithList(&songs));
    EXPECT_EQ(command.ShareList(), first) << "the same selection keeps its list";

    // A later selection is not answered from the earlier one's list.
    EXPECT_FALSE(command.PrepareOpenWithList(&folders));
    EXPECT_TRUE(command.GetList().IsEmpty());
    ASSERT_TRUE(command.PrepareOpenWithList(&texts));
    ASSERT_EQ(command.GetList().GetPrograms().size(), 1u);
    EXPECT_EQ(command.GetList().GetCurrent()->GetVerbText(), L"Open");
    EXPECT_EQ(command.GetCount(), 1u);
    ASSERT_TRUE(command.PrepareOpenWithList(&both));
    EXPECT_EQ(command.GetCount(), 2u);
    EXPECT_EQ(command.GetList().GetCurrent()->GetId(), player_exe);

    // Whoever holds the first list still has its programs.
    ASSERT_EQ(first->GetPrograms().size(), 2u);
    EXPECT_EQ(first->GetCurrent()->GetId(), tunes_exe);
}

}  // namespace
