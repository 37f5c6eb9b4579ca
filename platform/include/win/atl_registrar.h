// The registrar of the class library: writes and removes registry keys
// described by a registry script, the class library's text form:
//
//   HKCR {                                  root: HKCR, HKLM, HKCU or their long names
//       NoRemove CLSID {                    kept: never removed
//           ForceRemove %CLSID% = s 'Calvimora' {   recreated: deleted and written anew
//               InprocServer32 = s '%MODULE%' {
//                   val ThreadingModel = s 'Apartment'
//               }
//               ShellFolder { val Attributes = d '3099590995' }
//           }
//       }
//   }
//
// A key is a name, optionally its default value ("= type 'data'") and
// optionally a block of values ("val name = type 'data'") and subkeys.
// Types: s (REG_SZ), e (REG_EXPAND_SZ), d (REG_DWORD, decimal or 0x hex),
// b (REG_BINARY, hexadecimal digits). Names are bare words or quoted;
// "''" inside quotes is one quote. %NAME% in a name or data becomes the
// text of that replacement (names compare without regard to case), "%%"
// is "%". Keywords (NoRemove, ForceRemove, val) are bare words.
//
// Registering writes every key and value; a recreated key is deleted with
// everything below it first. Unregistering removes, in every key, the
// values the script names, then the key itself unless it is kept, a
// recreated key with everything below it, any other key when nothing is
// left in it (a key somebody else added to stays). A script is read whole
// before anything is written.
//
// Results: S_OK; DISP_E_EXCEPTION for a script that does not parse or names
// a replacement that was not added; E_FAIL when the registry refuses a key
// or value (what was written before stays); the error of FindResourceW as
// an HRESULT for a missing script resource.
#pragma once

#include <map>
#include <string>

#include "win/com.h"

#define DISP_E_EXCEPTION ((HRESULT)0x80020009L)

class CRegObject {
public:
    HRESULT AddReplacement(LPCOLESTR name, LPCOLESTR text);
    HRESULT ClearReplacements();

    // The script is the resource's bytes as UTF-8 text.
    HRESULT ResourceRegister(HMODULE module, UINT id, LPCOLESTR type);
    HRESULT ResourceUnregister(HMODULE module, UINT id, LPCOLESTR type);
    HRESULT StringRegister(LPCOLESTR script);
    HRESULT StringUnregister(LPCOLESTR script);

private:
    HRESULT run(const std::wstring& script, bool do_register);
    HRESULT run_resource(HMODULE module, UINT id, LPCOLESTR type, bool do_register);

    std::map<std::wstring, std::wstring> replacements_;  // by upper-case name
};
