// Icons of file types: where the registry's classes put them, the shell
// library's own folder and document icons, and icon handles drawn into a DC.
#include <gtest/gtest.h>

#include <string>

#include "drawing/tests/gdi_test_support.h"
#include "win/file.h"
#include "win/machine.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/user_icon.h"

namespace {

void set_default(const std::wstring& key_name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, key_name.c_str(), &key), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring location(const wchar_t* path, DWORD attributes = FILE_ATTRIBUTE_NORMAL,
                      UINT more = 0) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path, attributes, &info, sizeof info,
                        SHGFI_ICONLOCATION | SHGFI_USEFILEATTRIBUTES | more))
        return L"failed";
    return std::wstring(info.szDisplayName) + L"," + std::to_wstring(info.iIcon);
}

HICON icon_of(const wchar_t* path, DWORD attributes, UINT more = 0) {
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(path, attributes, &info, sizeof info,
                        SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | more))
        return nullptr;
    return info.hIcon;
}

// The pixel at the middle of the icon, drawn at its own size over white.
uint32_t middle_of(HICON icon) {
    const SIZE size = win_icons::icon_size(icon);
    gdi_testing::surface s(size.cx, size.cy);
    s.fill(0xFFFFFFFF);
    EXPECT_TRUE(DrawIconEx(s.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    return s.at(size.cx / 2, size.cy * 3 / 4);
}

}  // namespace

TEST(ShellIcons, LocationsComeFromTheClassesOrTheShellLibrary) {
    win_machine::scoped_root root;
    set_default(L".pdf", L"Reader.Document");
    set_default(L"Reader.Document\\DefaultIcon", L"C:\\Apps\\reader.exe,-2");
    set_default(L".txt", L"txtfile");
    set_default(L"txtfile\\DefaultIcon", L"C:\\Apps\\notes.exe");
    set_default(L".exe", L"exefile");
    set_default(L"exefile\\DefaultIcon", L"%1");
    set_default(L".bare", L"BareType");

    EXPECT_EQ(location(L"*", FILE_ATTRIBUTE_DIRECTORY), L"shell32.dll,3");
    EXPECT_EQ(location(L"*", FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON), L"shell32.dll,4");
    EXPECT_EQ(location(L".pdf"), L"C:\\Apps\\reader.exe,-2");
    EXPECT_EQ(location(L"C:\\some.dir\\Report.final.PDF"), L"C:\\Apps\\reader.exe,-2");
    EXPECT_EQ(location(L".txt"), L"C:\\Apps\\notes.exe,0");
    EXPECT_EQ(location(L".exe"), L"shell32.dll,0");   // its icon is in each file: none read
    EXPECT_EQ(location(L".bare"), L"shell32.dll,0");  // a class without an icon
    EXPECT_EQ(location(L".unknown"), L"shell32.dll,0");
    EXPECT_EQ(location(L""), L"shell32.dll,0");  // a name without an extension

    SHFILEINFOW info{};
    EXPECT_EQ(SHGetFileInfoW(L".pdf", 0, &info, sizeof info, SHGFI_ICONLOCATION), 0u);
    EXPECT_EQ(SHGetFileInfoW(L".pdf", 0, &info, sizeof info,
                             SHGFI_ICONLOCATION | SHGFI_USEFILEATTRIBUTES | 0x4000),
              0u);
}

TEST(ShellIcons, IconsAreNewHandlesOfTheSystemSizesThatDraw) {
    win_machine::scoped_root root;
    set_default(L".pdf", L"Reader.Document");
    set_default(L"Reader.Document\\DefaultIcon", L"C:\\Apps\\reader.exe,1");
    const int before = win_icons::live_icons();

    HICON folder = icon_of(L"*", FILE_ATTRIBUTE_DIRECTORY);
    HICON open = icon_of(L"*", FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON);
    HICON small = icon_of(L"*", FILE_ATTRIBUTE_DIRECTORY, SHGFI_SMALLICON);
    HICON document = icon_of(L"notes", FILE_ATTRIBUTE_NORMAL);
    HICON pdf = icon_of(L"a.pdf", FILE_ATTRIBUTE_NORMAL);  // its file holds no icon here
    ASSERT_TRUE(folder && open && small && document && pdf);
    EXPECT_EQ(win_icons::live_icons(), before + 5);
    EXPECT_EQ(win_icons::icon_size(folder).cx, 32);
    EXPECT_EQ(win_icons::icon_size(small).cy, 16);

    const uint32_t folder_colour = middle_of(folder);
    EXPECT_NE(folder_colour, 0xFFFFFFFFu);
    EXPECT_EQ(middle_of(small), folder_colour);
    EXPECT_NE(middle_of(open), folder_colour);
    EXPECT_EQ(middle_of(document), 0xFFFFFFFFu);  // a white page
    EXPECT_EQ(middle_of(pdf), middle_of(document));

    // Scaled and over a brush: the corner the icon leaves transparent
    // shows the brush.
    gdi_testing::surface s(64, 64);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    EXPECT_TRUE(DrawIconEx(s.dc(), 0, 0, folder, 64, 64, 0, red, DI_NORMAL));
    DeleteObject(red);
    EXPECT_EQ(s.at(0, 0), 0xFFFF0000u);
    EXPECT_EQ(s.at(32, 48), folder_colour);

    for (HICON icon : {folder, open, small, document, pdf}) EXPECT_TRUE(DestroyIcon(icon));
    EXPECT_EQ(win_icons::live_icons(), before);
    EXPECT_FALSE(DrawIconEx(s.dc(), 0, 0, folder, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ICON_HANDLE));
}

TEST(ShellIcons, OnlyTheShellLibraryHoldsIcons) {
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(ExtractIconExW(L"C:\\Windows\\System32\\SHELL32.DLL", 3, &large, &small, 1), 1u);
    ASSERT_TRUE(large && small);
    EXPECT_EQ(win_icons::icon_size(large).cx, 32);
    EXPECT_EQ(win_icons::icon_size(small).cx, 16);
    DestroyIcon(large);
    DestroyIcon(small);
    EXPECT_EQ(ExtractIconExW(L"shell32.dll", -1, nullptr, nullptr, 0), 3u);
    EXPECT_EQ(ExtractIconExW(L"shell32.dll", 2, &large, nullptr, 1), 0u);
    EXPECT_EQ(ExtractIconExW(L"C:\\Apps\\reader.exe", 0, &large, nullptr, 1), 0u);
    EXPECT_EQ(ExtractIconExW(nullptr, 0, &large, nullptr, 1), 0u);
}

TEST(ShellIcons, IconsFromBitmapsNeedAMaskAndModuleIconsCannotBeDrawn) {
    HBITMAP colour = CreateCompatibleBitmap(nullptr, 8, 8);
    ICONINFO info{TRUE, 0, 0, nullptr, colour};
    EXPECT_EQ(CreateIconIndirect(&info), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateIconIndirect(nullptr), nullptr);
    info.hbmMask = colour;
    HICON icon = CreateIconIndirect(&info);
    ASSERT_NE(icon, nullptr);
    DeleteObject(colour);  // the icon keeps its own copy
    EXPECT_EQ(win_icons::icon_size(icon).cx, 8);
    gdi_testing::surface s(8, 8);
    EXPECT_TRUE(DrawIconEx(s.dc(), 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL));
    DestroyIcon(icon);

    HICON standard = LoadIconW(nullptr, IDI_WARNING);
    EXPECT_FALSE(DrawIconEx(s.dc(), 0, 0, standard, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}
