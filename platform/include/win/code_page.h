// 8-bit text: the system's ANSI code page, which here is Windows-1252 (the
// code page of English and Western European systems), and UTF-8.
#pragma once

#include "win/base.h"

#define CP_ACP 0u
#define CP_UTF8 65001u
#define CP_WINDOWS_1252 1252u

UINT GetACP();  // 1252

// As the system converts: a length of -1 takes the text with its NUL (and
// counts it); an output size of 0 asks for the size needed. Returns the
// characters (bytes) written, 0 on failure (ERROR_INVALID_PARAMETER for a
// code page other than CP_ACP, 1252 or UTF-8, ERROR_INSUFFICIENT_BUFFER).
// In 1252 every byte is a character, and a character the code page lacks
// becomes "?".
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR text, int length, LPWSTR out,
                        int out_size);
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR text, int length, LPSTR out,
                        int out_size, LPCSTR default_char, BOOL* used_default);
