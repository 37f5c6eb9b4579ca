// The attribute words of the folder's kinds of items, in Explorer and in
// other programs.
#include "folder/folder_object/item_rules.h"

#include <gtest/gtest.h>

namespace {

using folder_rules::attributes_of;

PIDLDATA record(int type, bool fixed, bool deleted) {
    PIDLDATA data{};
    data.cb = sizeof data;
    data.type = static_cast<uint8_t>(type);
    data.is_fixed_folder = fixed;
    data.size = type == 1 ? -1 : 10;
    data.date_deleted = deleted ? 40000.0 : -1.0;
    return data;
}

constexpr SFGAOF folder_bits = SFGAO_FOLDER | SFGAO_BROWSABLE | SFGAO_DROPTARGET;
constexpr SFGAOF change_bits = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANRENAME;
constexpr SFGAOF local_folder_bits = SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_STORAGE;

TEST(ItemAttributes, FixedFoldersOpenButCannotBeChanged) {
    // The trash and the shared-folders container.
    EXPECT_EQ(attributes_of(record(1, true, false), false), SFGAO_HASPROPSHEET | folder_bits);
    EXPECT_EQ(attributes_of(record(1, true, false), true),
              SFGAO_HASPROPSHEET | folder_bits | local_folder_bits);
}

TEST(ItemAttributes, PlainFoldersAddTheirShareAndSubfolderFlags) {
    PIDLDATA shared = record(1, false, false);
    shared.is_shared = 1;
    shared.has_subfolders = 1;
    EXPECT_EQ(attributes_of(shared, false), SFGAO_HASPROPSHEET | SFGAO_CANDELETE | change_bits |
                                                folder_bits | SFGAO_SHARE | SFGAO_HASSUBFOLDER);
}

TEST(ItemAttributes, ItemsInTheTrashCanOnlyBeDeletedAndFoldersThereDoNotOpen) {
    EXPECT_EQ(attributes_of(record(2, false, true), false),
              SFGAO_HASPROPSHEET | SFGAO_CANDELETE | SFGAO_STREAM);
    EXPECT_EQ(attributes_of(record(2, false, true), true),
              SFGAO_HASPROPSHEET | SFGAO_CANDELETE | SFGAO_STREAM | SFGAO_FILESYSTEM);
    PIDLDATA folder = record(1, false, true);
    folder.has_subfolders = 1;
    EXPECT_EQ(attributes_of(folder, false), SFGAO_HASPROPSHEET | SFGAO_CANDELETE);
}

TEST(ItemAttributes, AnyKindButAFolderIsAFile) {
    EXPECT_EQ(attributes_of(record(7, false, false), false),
              SFGAO_HASPROPSHEET | SFGAO_CANDELETE | change_bits | SFGAO_STREAM);
}

}  // namespace
