#include <gtest/gtest.h>

#include <cstring>

#include "win/process.h"
#include "win/resources.h"

namespace {

const char first_image[] = "first image bytes";
const char second_image[] = "second";

}  // namespace

TEST(Resources, RegisteredBytesAreFoundByTheSystemCalls) {
    HMODULE self = GetModuleHandleW(nullptr);
    ASSERT_TRUE(win_resources::register_resource(self, L"PNG", MAKEINTRESOURCEW(400), first_image,
                                                 sizeof first_image));
    // A null module is the executable; type names match without case.
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(400), L"png");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, found), sizeof first_image);
    HGLOBAL loaded = LoadResource(nullptr, found);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(std::memcmp(LockResource(loaded), first_image, sizeof first_image), 0);

    // Registering the key again replaces the bytes.
    win_resources::register_resource(nullptr, L"PNG", MAKEINTRESOURCEW(400), second_image,
                                     sizeof second_image);
    found = FindResourceW(self, MAKEINTRESOURCEW(400), L"PNG");
    EXPECT_EQ(SizeofResource(self, found), sizeof second_image);
    EXPECT_EQ(LockResource(LoadResource(self, found)), second_image);

    win_resources::register_resource(self, RT_RCDATA, L"Named", first_image, 5);
    EXPECT_NE(FindResourceW(self, L"NAMED", RT_RCDATA), nullptr);
}

TEST(Resources, MissingTypesNamesAndModulesAreToldApart) {
    HMODULE self = GetModuleHandleW(nullptr);
    win_resources::register_resource(self, L"PNG", MAKEINTRESOURCEW(201), first_image, 3);
    EXPECT_EQ(FindResourceW(self, MAKEINTRESOURCEW(202), L"PNG"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(FindResourceW(self, MAKEINTRESOURCEW(201), L"GIF"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
    // Another module has resources of its own.
    HMODULE other = reinterpret_cast<HMODULE>(reinterpret_cast<char*>(self) + 0x1000);
    EXPECT_EQ(FindResourceW(other, MAKEINTRESOURCEW(201), L"PNG"), nullptr);
    EXPECT_EQ(LoadResource(self, reinterpret_cast<HRSRC>(0x1234)), nullptr);
    EXPECT_EQ(SizeofResource(self, nullptr), 0u);

    EXPECT_FALSE(win_resources::register_resource(self, L"PNG", L"", first_image, 3));
    EXPECT_FALSE(win_resources::register_resource(self, nullptr, L"x", first_image, 3));
    EXPECT_FALSE(win_resources::register_resource(self, L"PNG", L"x", nullptr, 3));
}
