// Property-sheet extensions: the handlers registered under a class key
// ("<key>\shellex\PropertySheetHandlers\<name>", the name a class id or a
// key whose default value is one) add pages to the sheet the shell shows
// for a selection. SHOpenPropSheetW makes each handler of the given keys
// (each class once, in the order of the keys), initialises it with the
// selection's data object and the key it was found under, lets it add its
// pages, and runs the sheet modally on the calling thread (which must have
// initialised COM). The handlers are released when the sheet has closed;
// what a page needs longer it keeps with its page callback.
#pragma once

#include "win/commctrl_propsheet.h"
#include "win/data_object.h"
#include "win/registry.h"
#include "win/shell_idlist.h"

// {000214E8-0000-0000-C000-000000000046}
inline constexpr IID IID_IShellExtInit{0x000214E8, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {000214E9-0000-0000-C000-000000000046}
inline constexpr IID IID_IShellPropSheetExt{
    0x000214E9, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IShellExtInit : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data,
                                                 HKEY key) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellExtInit, IUnknown, IID_IShellExtInit);

typedef UINT EXPPS;
struct IShellPropSheetExt : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddPages(LPFNADDPROPSHEETPAGE add, LPARAM parameter) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReplacePage(EXPPS page, LPFNADDPROPSHEETPAGE replace,
                                                  LPARAM parameter) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellPropSheetExt, IUnknown, IID_IShellPropSheetExt);

struct IShellBrowser;

// default_class, when given, is tried first like the keys' handlers. With
// no caption the sheet is named after the first file of the data object.
// start_page names the tab to open at (the first when none has that
// title). FALSE when no handler added a page or the sheet could not be
// shown.
BOOL SHOpenPropSheetW(LPCWSTR caption, HKEY keys[], UINT key_count, const CLSID* default_class,
                      IDataObject* data, IShellBrowser* browser, LPCWSTR start_page);
