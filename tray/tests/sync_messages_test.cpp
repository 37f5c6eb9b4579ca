// The sync window's texts: every message kind, sizes, and a row's name.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "sync_messages.h"
#include "sync_rows.h"
#include "sync_samples.h"
#include "syncer/core/messages.h"
#include "win/machine.h"

namespace {

const std::wstring remote = L"/Backup/Photos";
const std::wstring local = L"C:\\Users\\Ann\\Photos";
// A placeholder in a name is the name's, not the pattern's.
const std::wstring file = L"50%s off.jpg";

TEST(SyncMessages, EveryKindReadsAsTheEngineWordsIt) {
    // The engine words its kinds on its own; the window's table must agree,
    // placeholders filled in the same order.
    for (int kind = -1; kind <= 30; ++kind) {
        SCOPED_TRACE(kind);
        const std::wstring own = syncer::message_text(kind, remote, local, file);
        EXPECT_EQ(FormatSyncMessage(kind, remote, local, file, L""),
                  own.empty() ? L"Unknown message" : own);
        EXPECT_EQ(FormatSyncMessage(kind, remote, local, file, L"Disk full"),
                  syncer::failure_text(kind, L"Disk full", remote, local, file));
    }
}

TEST(SyncMessages, FoldersAreNamedByTheirLeafAndParent) {
    EXPECT_EQ(FormatSyncMessage(6, remote, local, L"", L""),
              L"Folder 'Photos' has been removed from local drive.\r\n\r\nLocal path: "
              L"C:\\Users\\Ann\r\nRemote path: /Backup\r\n\r\nWould you like to remove it from "
              L"'Calvimora'?");
    EXPECT_EQ(FormatSyncMessage(8, remote, local, L"", L""),
              L"Folder 'Photos' has been removed from 'Calvimora'.\r\n\r\nLocal path: "
              L"C:\\Users\\Ann\r\nRemote path: /Backup\r\n\r\nWould you like to remove it from "
              L"local drive?");
    EXPECT_EQ(FormatSyncMessage(1, remote, local, file, L""),
              L"File '50%s off.jpg' exists on local drive, but not on 'Calvimora'.\r\n\r\nLocal "
              L"path: C:\\Users\\Ann\\Photos\r\nRemote path: /Backup/Photos\r\n\r\nWould you like "
              L"to upload it?");
    EXPECT_EQ(FormatSyncMessage(24, remote, local, L"a.jpg", L"(timeout)"),
              L"Reading remote file '/Backup/Photos/a.jpg' failed. (timeout)");
}

TEST(SyncMessages, AKindWithoutTextShowsItsDetailOrUnknownMessage) {
    for (int kind : {0, 19, 29, 1000}) {
        SCOPED_TRACE(kind);
        EXPECT_EQ(FormatSyncMessage(kind, remote, local, file, L""), L"Unknown message");
        EXPECT_EQ(FormatSyncMessage(kind, remote, local, file, L"Access denied"), L"Access denied");
    }
    EXPECT_EQ(FormatSyncMessage(12, remote, local, file, L""),
              FormatSyncMessage(13, remote, local, file, L""));
}

TEST(SyncMessages, SizesTakeTheFirstUnitBelowAThousandRoundedUp) {
    EXPECT_EQ(FormatSyncSize(0), L"0 bytes");
    EXPECT_EQ(FormatSyncSize(999), L"999 bytes");
    EXPECT_EQ(FormatSyncSize(1000), L"1 KB");
    EXPECT_EQ(FormatSyncSize(1025), L"2 KB");
    EXPECT_EQ(FormatSyncSize(1023999), L"1 000 KB");
    EXPECT_EQ(FormatSyncSize(1048576), L"1 MB");
    EXPECT_EQ(FormatSyncSize(5LL << 30), L"5 GB");
    const std::int64_t tera = 1LL << 40;
    EXPECT_EQ(FormatSyncSize(1000 * tera), L"1 000 TB");
    // The largest size stays a size.
    EXPECT_EQ(FormatSyncSize(std::numeric_limits<std::int64_t>::max()), L"8 388 608 TB");
}

TEST(SyncMessages, ARowIsNamedByItsFileOrFolderWithItsSizeWhenKnown) {
    win_machine::scoped_root root;
    const syncer::binding pair = sync_samples::folder_pair(L"Docs", L"C:\\Docs");
    EXPECT_EQ(TaskRowText(sync_samples::make_task(pair, syncer::task::kind_download, L"Docs",
                                                  L"C:\\Docs", L"a.txt", 1)),
              L"a.txt");
    EXPECT_EQ(TaskRowText(sync_samples::make_task(pair, syncer::task::kind_remove_local_folder,
                                                  L"Docs", L"C:\\Docs\\Old", L"", 1)),
              L"C:\\Docs\\Old");
    const auto local_folder = boost::filesystem::path(root.path()) / "local";
    EXPECT_EQ(TaskRowText(sync_samples::make_sized_upload(pair, L"Docs", local_folder, L"b.bin",
                                                          1000, syncer::task::state_running)),
              L"b.bin (1 KB)");
}

}  // namespace
