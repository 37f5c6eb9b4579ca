// The shell's associations of file types and programs, read from the
// classes root of the registry:
//   HKEY_CLASSES_ROOT\.ext              default value: the type's class (ProgID)
//   HKEY_CLASSES_ROOT\<class>\shell     default value: the default verb
//   ...\shell\<verb>\command            default value: the command line
//   HKEY_CLASSES_ROOT\Applications\<program file name>   a program's own key
//   value "FriendlyAppName" of a program's class or application key
#pragma once

#include <string>

#include "win/base.h"
#include "win/com.h"
#include "win/registry.h"

typedef DWORD ASSOCF;
#define ASSOCF_NONE 0x00000000u
#define ASSOCF_INIT_NOREMAPCLSID 0x00000001u
#define ASSOCF_INIT_BYEXENAME 0x00000002u
#define ASSOCF_OPEN_BYEXENAME 0x00000002u
#define ASSOCF_INIT_DEFAULTTOSTAR 0x00000004u
#define ASSOCF_INIT_DEFAULTTOFOLDER 0x00000008u
#define ASSOCF_NOUSERSETTINGS 0x00000010u
#define ASSOCF_NOTRUNCATE 0x00000020u
#define ASSOCF_VERIFY 0x00000040u
#define ASSOCF_IGNOREBASECLASS 0x00000200u
#define ASSOCF_INIT_IGNOREUNKNOWN 0x00000400u

typedef enum ASSOCSTR {
    ASSOCSTR_COMMAND = 1,
    ASSOCSTR_EXECUTABLE = 2,
    ASSOCSTR_FRIENDLYDOCNAME = 3,
    ASSOCSTR_FRIENDLYAPPNAME = 4,
} ASSOCSTR;

typedef enum ASSOCKEY {
    ASSOCKEY_SHELLEXECCLASS = 1,
    ASSOCKEY_APP = 2,
    ASSOCKEY_CLASS = 3,
    ASSOCKEY_BASECLASS = 4,
} ASSOCKEY;

// What a folder may hand out for an item (GetUIObjectOf) to name the
// registry keys of its type. The folders of this system hand out none, so
// only the interface is here, for callers that ask and do without.
// {C46CA590-3C3F-11D2-BEE6-0000F805CA57}
inline constexpr IID IID_IQueryAssociations{
    0xC46CA590, 0x3C3F, 0x11D2, {0xBE, 0xE6, 0x00, 0x00, 0xF8, 0x05, 0xCA, 0x57}};

struct IQueryAssociations : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Init(ASSOCF flags, LPCWSTR assoc, HKEY key, HWND owner) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetString(ASSOCF flags, ASSOCSTR what, LPCWSTR extra,
                                                LPWSTR out, DWORD* out_count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetKey(ASSOCF flags, ASSOCKEY what, LPCWSTR extra,
                                             HKEY* key) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetData(ASSOCF flags, int what, LPCWSTR extra, void* out,
                                              DWORD* out_size) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetEnhancedFlags(ASSOCF flags, int what, LPCWSTR extra,
                                                       void* out, DWORD* out_size) = 0;
};
WIN_COM_INTERFACE_TRAITS(IQueryAssociations, IUnknown, IID_IQueryAssociations);

// A text of the class key for the verb (null: the class's default verb,
// win_shell::default_verb):
//   ASSOCSTR_COMMAND      the verb's command line;
//   ASSOCSTR_EXECUTABLE   its program: the first token, up to the closing
//                         quote when it starts with one, else up to the
//                         first space;
//   ASSOCSTR_FRIENDLYAPPNAME  "FriendlyAppName" of the class key, else of
//                         the program's Applications key, else the
//                         program's file name.
// The text with its NUL goes to out when *out_count units hold it (S_OK,
// *out_count = its length with the NUL); with a null out, S_FALSE and the
// units it needs; when it does not fit, E_POINTER and the units it needs
// (nothing is cut, unless ASSOCF_NOTRUNCATE is absent: then the text is cut
// to fit and the result is still E_POINTER). E_INVALIDARG for a null key or
// count, E_NOTIMPL for another text, HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION)
// when the verb has no command or the command no program.
HRESULT AssocQueryStringByKeyW(ASSOCF flags, ASSOCSTR what, HKEY class_key, LPCWSTR extra,
                               LPWSTR out, DWORD* out_count);

// A new key (the caller closes it) of the association named by assoc:
//   by extension (".mp3"): ASSOCKEY_SHELLEXECCLASS the type's class key (its
//     ProgID when one is named and exists, else the extension's own key when
//     it has verbs); ASSOCKEY_APP the Applications key of the program of the
//     class's default verb; ASSOCKEY_CLASS the extension's key;
//   by program (ASSOCF_INIT_BYEXENAME, "player.exe" or a path to it): both
//     ASSOCKEY_SHELLEXECCLASS and ASSOCKEY_APP give its Applications key.
// HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION) when there is no such key (there
// is no "unknown" class here: every lookup behaves as with
// ASSOCF_INIT_IGNOREUNKNOWN), E_INVALIDARG for a null assoc or out,
// E_NOTIMPL for ASSOCKEY_BASECLASS.
HRESULT AssocQueryKeyW(ASSOCF flags, ASSOCKEY what, LPCWSTR assoc, LPCWSTR extra, HKEY* out);

namespace win_shell {

// The verb the shell carries out when none is asked for: the one "shell"'s
// default value names when it has a key, else "open".
std::wstring default_verb(HKEY class_key);

// The program of a command line: its first token, without the quotes when
// it starts with one (an unclosed quote runs to the end); empty when there
// is none.
std::wstring command_executable(const std::wstring& command);

}  // namespace win_shell
