// The fixed identifiers of the system's own COM classes, their interfaces,
// the shell extension's type library and its application id, shared by
// every deliverable that names them: the shell extension registers and
// serves them, the tray program opens the virtual folder by its id. They
// are fixed for the life of the product: Explorer and the registry keep
// them.
#pragma once

#include "win/guid.h"

namespace utils {

// {B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}: the virtual folder under
// "Computer".
inline constexpr CLSID clsid_calvimora_folder{
    0xB7C2E4A9, 0x5D13, 0x4F86, {0xA0, 0xE2, 0x7C, 0x9D, 0x1B, 0x3F, 0x5E, 0x48}};
// {06442AB3-78CB-4F40-A485-4DD5ABD1C270}: the property-sheet handler of
// the virtual folder's drive.
inline constexpr CLSID clsid_properties_drive_dlg{
    0x06442AB3, 0x78CB, 0x4F40, {0xA4, 0x85, 0x4D, 0xD5, 0xAB, 0xD1, 0xC2, 0x70}};
// {13276C09-607B-41E0-B63A-0C04883BB129}: the property-sheet handler of
// local files and folders.
inline constexpr CLSID clsid_properties_sync_dlg{
    0x13276C09, 0x607B, 0x41E0, {0xB6, 0x3A, 0x0C, 0x04, 0x88, 0x3B, 0xB1, 0x29}};
// {533EDF9F-C3B6-4770-B67D-0D87710BBC03}: the context-menu handler of local
// files and folders.
inline constexpr CLSID clsid_shell_context_menu{
    0x533EDF9F, 0xC3B6, 0x4770, {0xB6, 0x7D, 0x0D, 0x87, 0x71, 0x0B, 0xBC, 0x03}};
// {A633BD75-68FA-4F0A-B324-E3FEB9DC2BC9}: the overlay-icon identifier.
inline constexpr CLSID clsid_shell_overlay_icon{
    0xA633BD75, 0x68FA, 0x4F0A, {0xB3, 0x24, 0xE3, 0xFE, 0xB9, 0xDC, 0x2B, 0xC9}};
// {AF262589-548C-4430-A6D4-B93C5AC66954}: the data object over a selection
// of remote items.
inline constexpr CLSID clsid_data_object{
    0xAF262589, 0x548C, 0x4430, {0xA6, 0xD4, 0xB9, 0x3C, 0x5A, 0xC6, 0x69, 0x54}};
// {005D3B50-EE38-4F84-BED0-DAEF7F13FA16}: the stream over a remote file.
inline constexpr CLSID clsid_stream{
    0x005D3B50, 0xEE38, 0x4F84, {0xBE, 0xD0, 0xDA, 0xEF, 0x7F, 0x13, 0xFA, 0x16}};

// The interfaces the type library declares.
// {54559D25-A04C-4AC8-9536-8C824718A81E}
inline constexpr IID iid_shell_folder_impl{
    0x54559D25, 0xA04C, 0x4AC8, {0x95, 0x36, 0x8C, 0x82, 0x47, 0x18, 0xA8, 0x1E}};
// {40222D3D-6383-4802-854C-7E85D02C06B2}
inline constexpr IID iid_data_object_impl{
    0x40222D3D, 0x6383, 0x4802, {0x85, 0x4C, 0x7E, 0x85, 0xD0, 0x2C, 0x06, 0xB2}};
// {27B5368C-1A9B-4694-847C-70170588F414}
inline constexpr IID iid_stream_impl{
    0x27B5368C, 0x1A9B, 0x4694, {0x84, 0x7C, 0x70, 0x17, 0x05, 0x88, 0xF4, 0x14}};
// {7D530635-A0BD-440D-AC80-67D450766949}
inline constexpr IID iid_shell_overlay_icon{
    0x7D530635, 0xA0BD, 0x440D, {0xAC, 0x80, 0x67, 0xD4, 0x50, 0x76, 0x69, 0x49}};
// {AA7A7421-284A-4283-9759-CEA97E84F1B7}
inline constexpr IID iid_properties_drive_dlg{
    0xAA7A7421, 0x284A, 0x4283, {0x97, 0x59, 0xCE, 0xA9, 0x7E, 0x84, 0xF1, 0xB7}};
// {F4946306-9CF6-4E9E-97DB-458293861824}
inline constexpr IID iid_properties_sync_dlg{
    0xF4946306, 0x9CF6, 0x4E9E, {0x97, 0xDB, 0x45, 0x82, 0x93, 0x86, 0x18, 0x24}};
// {68ADAD3F-CEC5-4558-AE49-F0EBBED8E26B}
inline constexpr IID iid_shell_context_menu{
    0x68ADAD3F, 0xCEC5, 0x4558, {0xAE, 0x49, 0xF0, 0xEB, 0xBE, 0xD8, 0xE2, 0x6B}};

// {782B289E-C6EA-414D-8311-6071B270C9F3}: the type library CalvimoraLib,
// version 1.3.
inline constexpr GUID libid_calvimora_lib{
    0x782B289E, 0xC6EA, 0x414D, {0x83, 0x11, 0x60, 0x71, 0xB2, 0x70, 0xC9, 0xF3}};
// {7D090908-BD1E-4260-9722-C440F3A7C0E4}: the shell extension's
// application id.
inline constexpr GUID appid_calvimora{
    0x7D090908, 0xBD1E, 0x4260, {0x97, 0x22, 0xC4, 0x40, 0xF3, 0xA7, 0xC0, 0xE4}};

}  // namespace utils
