#include "vfs/pc_id.h"

#include <cwchar>

#include "win/rpc.h"

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

namespace {

const wchar_t* const software_key = L"Software\\Calvimora";
const wchar_t* const pc_id_value = L"PCID";
// Room for the identifier (a UUID text has 36 characters) and its NUL.
constexpr std::size_t pc_id_buffer_characters = 40;

}  // namespace

std::unique_ptr<registry_key> open_registry_key(REGSAM access) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, software_key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        access, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        throw exception(L"open_registry_key failed", L"RegCreateKeyEx() returned error");
    }
    return std::make_unique<registry_key>(key);
}

std::wstring load_pc_id() {
    const auto key = open_registry_key();
    wchar_t buffer[pc_id_buffer_characters] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof(buffer);
    const LONG result = RegQueryValueExW(key->get(), pc_id_value, nullptr, &type,
                                         reinterpret_cast<LPBYTE>(buffer), &size);
    const std::wstring id(buffer, wcsnlen(buffer, pc_id_buffer_characters));
    if (result != ERROR_SUCCESS || type != REG_SZ || id.empty() ||
        id.size() >= pc_id_buffer_characters) {
        throw exception(L"load_pc_id failed", L"RegQueryValueEx() returned error");
    }
    return id;
}

std::mutex& pc_id_mutex() {
    static std::mutex mutex;
    return mutex;
}

std::wstring get_pc_id() {
    std::lock_guard<std::mutex> hold(pc_id_mutex());
    return load_pc_id();
}

std::wstring generate_pc_id() {
    UUID uuid{};
    if (UuidCreate(&uuid) != RPC_S_OK)
        throw exception(L"generate_pc_id failed", L"UuidCreate() returned error");
    RPC_WSTR text = nullptr;
    if (UuidToStringW(&uuid, &text) != RPC_S_OK || !text)
        throw exception(L"generate_pc_id failed", L"UuidToString() returned error");
    std::wstring id = text;
    if (RpcStringFreeW(&text) != RPC_S_OK)
        throw exception(L"generate_pc_id failed", L"RpcStringFree() returned error");
    return id;
}

void store_pc_id(const std::wstring& id) {
    const auto key = open_registry_key(KEY_READ | KEY_SET_VALUE);
    if (RegSetValueExW(key->get(), pc_id_value, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(id.c_str()),
                       static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        throw exception(L"store_pc_id failed", L"RegSetValueEx() returned error");
}

void get_or_create_pc_id() {
    std::lock_guard<std::mutex> hold(pc_id_mutex());
    try {
        load_pc_id();
    } catch (const vfs::exception&) {
        store_pc_id(generate_pc_id());
    }
}

}  // namespace vfs_calvimora
