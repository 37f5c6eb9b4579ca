// The folder's command bar: the provider the folder hands Explorer, the
// enumerator of commands and the commands themselves ("Open" with its
// drop-down of programs, "Share", "Sync files", "Backup PC", "Play All
// Music" and "Play All Video").
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "folder/workers/open_with_list.h"
#include "win/atl_base.h"
#include "win/shell_command.h"
#include "win/shell_folder2.h"

// Fixed identities of the commands. The entries of the Open command's
// drop-down take Open's with its first field raised by their position.
// {06F14805-FEDC-4AA3-9F5E-15D202A2FBF1}
inline constexpr GUID command_open{
    0x06F14805, 0xFEDC, 0x4AA3, {0x9F, 0x5E, 0x15, 0xD2, 0x02, 0xA2, 0xFB, 0xF1}};
// {31005BC2-7DFB-4844-822F-4AEE3E510F73}
inline constexpr GUID command_share{
    0x31005BC2, 0x7DFB, 0x4844, {0x82, 0x2F, 0x4A, 0xEE, 0x3E, 0x51, 0x0F, 0x73}};
// {9B99D3B7-A134-4867-A694-E93CC78B5268}
inline constexpr GUID command_sync_files{
    0x9B99D3B7, 0xA134, 0x4867, {0xA6, 0x94, 0xE9, 0x3C, 0xC7, 0x8B, 0x52, 0x68}};
// {447DAEF6-EE41-4414-85A2-37B1C23EC142}
inline constexpr GUID command_backup_pc{
    0x447DAEF6, 0xEE41, 0x4414, {0x85, 0xA2, 0x37, 0xB1, 0xC2, 0x3E, 0xC1, 0x42}};
// {39315BE2-14E5-4127-8821-CA96830FC4C0}
inline constexpr GUID command_play_music{
    0x39315BE2, 0x14E5, 0x4127, {0x88, 0x21, 0xCA, 0x96, 0x83, 0x0F, 0xC4, 0xC0}};
// {15303509-B396-4B84-9FB6-A4342FA525E2}
inline constexpr GUID command_play_video{
    0x15303509, 0xB396, 0x4B84, {0x9F, 0xB6, 0xA4, 0x34, 0x2F, 0xA5, 0x25, 0xE2}};

// The enumerator of a list of commands, each held by it.
class CEnumExplorerCommandImpl : public CComObjectRootEx<CComSingleThreadModel>,
                                 public IEnumExplorerCommand {
public:
    using com_map = win_atl::com_map<IEnumExplorerCommand>;

    CEnumExplorerCommandImpl() = default;
    ~CEnumExplorerCommandImpl();
    CEnumExplorerCommandImpl(const CEnumExplorerCommandImpl&) = delete;
    CEnumExplorerCommandImpl& operator=(const CEnumExplorerCommandImpl&) = delete;

    // Appends and holds the command; E_FAIL for none.
    HRESULT Add(IExplorerCommand* command);

    // E_INVALIDARG without room for the commands, E_POINTER without a count
    // for more than one; S_FALSE when fewer than count were left.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, IExplorerCommand** commands,
                                   ULONG* fetched) override;
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumExplorerCommand** copy) override;

private:
    std::vector<IExplorerCommand*> m_commands;
    size_t m_position = 0;
};

// What every command but Open and the separator shares: its identity and
// texts, given once, and the folder it acts on (held) where it needs one.
class CExplorerCommandImpl : public CComObjectRootEx<CComSingleThreadModel>,
                             public IExplorerCommand {
public:
    using com_map = win_atl::com_map<IExplorerCommand>;

    CExplorerCommandImpl() = default;
    virtual ~CExplorerCommandImpl();
    CExplorerCommandImpl(const CExplorerCommandImpl&) = delete;
    CExplorerCommandImpl& operator=(const CExplorerCommandImpl&) = delete;

    void Init(const GUID& name, const std::wstring& title, const std::wstring& tip,
              const std::wstring& icon);
    // Holds the folder (the one held before is let go).
    void SetFolder(IShellFolder* folder);

    HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* items, LPWSTR* title) override;
    // E_FAIL for a command without an icon.
    HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* items, LPWSTR* icon) override;
    HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* items, LPWSTR* tip) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* name) override;
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                       EXPCMDSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;
    HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* flags) override;
    HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** commands) override;

protected:
    GUID m_name{};
    std::wstring m_icon;
    std::wstring m_title;
    std::wstring m_tip;
    IShellFolder* m_folder = nullptr;
};

// Shows for one selected ordinary folder of the user's own tree and opens
// its sheet at the sharing page.
class CExplorerCommandShare : public CExplorerCommandImpl {
public:
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                       EXPCMDSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;
};

// Runs the sync manager. Shows only while nothing is selected.
class CExplorerCommandSyncFiles : public CExplorerCommandImpl {
public:
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                       EXPCMDSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;
};

// Opens the sheet of the user's profile folder at the local sync page in
// backup mode. Shows only while nothing is selected.
class CExplorerCommandBackupPC : public CExplorerCommandImpl {
public:
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                       EXPCMDSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;
};

// Plays every audio (music) or video file of the folder; shows when the
// folder's listing found one.
class CExplorerCommandPlayAll : public CExplorerCommandImpl {
public:
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                       EXPCMDSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;

protected:
    explicit CExplorerCommandPlayAll(bool music) : m_music(music) {}

private:
    bool m_music;
};
class CExplorerCommandMusicPlayAll : public CExplorerCommandPlayAll {
public:
    CExplorerCommandMusicPlayAll() : CExplorerCommandPlayAll(true) {}
};
class CExplorerCommandVideoPlayAll : public CExplorerCommandPlayAll {
public:
    CExplorerCommandVideoPlayAll() : CExplorerCommandPlayAll(false) {}
};

// One entry of Open's drop-down: a program of the list (which it shares, so
// the program outlives a rebuilt list) or, without one, "Choose Default
// Program...".
class CExplorerCommandOpenWith : public CExplorerCommandImpl {
public:
    void SetProgram(std::shared_ptr<const COpenWithList> list, const COpenWithProgram* program);

    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;

private:
    std::shared_ptr<const COpenWithList> m_list;
    const COpenWithProgram* m_program = nullptr;
};

// The line between the programs and "Choose Default Program...".
class CExplorerCommandSeparator : public CComObjectRootEx<CComSingleThreadModel>,
                                  public IExplorerCommand {
public:
    using com_map = win_atl::com_map<IExplorerCommand>;

    HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* items, LPWSTR* title) override;
    HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* items, LPWSTR* icon) override;
    HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* items, LPWSTR* tip) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* name) override;
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                       EXPCMDSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;
    HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* flags) override;
    HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** commands) override;

    GUID m_name{};
};

// Opens the selection with its default program, titled with that
// program's verb text; its drop-down lists the programs of one selected
// file. Hidden for a selection that cannot be opened.
class CExplorerCommandOpen : public CComObjectRootEx<CComSingleThreadModel>,
                             public IExplorerCommand {
public:
    using com_map = win_atl::com_map<IExplorerCommand>;

    HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* items, LPWSTR* title) override;
    HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* items, LPWSTR* icon) override;
    HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* items, LPWSTR* tip) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* name) override;
    HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL slow_ok,
                                       EXPCMDSTATE* state) override;
    HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* context) override;
    HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* flags) override;
    // Only after a selection of one file was prepared; E_NOTIMPL otherwise.
    HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** commands) override;

private:
    // The current program for the selection; null when it cannot be opened.
    const COpenWithProgram* Prepare(IShellItemArray* items);

    COpenWithSelection m_selection;
};

// The provider the folder hands out for its command bar.
class CExplorerCommandProviderImpl : public CComObjectRootEx<CComSingleThreadModel>,
                                     public IExplorerCommandProvider {
public:
    using com_map = win_atl::com_map<IExplorerCommandProvider>;

    CExplorerCommandProviderImpl() = default;
    ~CExplorerCommandProviderImpl();
    CExplorerCommandProviderImpl(const CExplorerCommandProviderImpl&) = delete;
    CExplorerCommandProviderImpl& operator=(const CExplorerCommandProviderImpl&) = delete;

    // Holds the folder (the one held before is let go).
    HRESULT SetFolder(IShellFolder* folder);

    // The folder's commands in bar order: Open, Share, Sync files (the
    // root only), Backup PC (the root and the home folder), Play All Music,
    // Play All Video. E_FAIL when the folder shows no remote folder,
    // E_NOINTERFACE for anything but IID_IEnumExplorerCommand.
    HRESULT STDMETHODCALLTYPE GetCommands(IUnknown* site, REFIID iid, void** commands) override;
    HRESULT STDMETHODCALLTYPE GetCommand(REFGUID name, REFIID iid, void** command) override;

private:
    IShellFolder* m_folder = nullptr;
};

// A new provider over the folder; the caller's interface of it.
HRESULT create_explorer_command_provider(IShellFolder* folder, REFIID iid, void** object);
