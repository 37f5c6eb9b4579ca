// The overlay identifier as Explorer drives it: IsMemberOf for every path
// it draws. Logged in, with 100 folder pairs in the user's binding table,
// it asks about 10,000 local paths (every hundredth a bound folder) through
// the identifier created by COM, against the same answers found by reading
// the binding table for each path, as a design without a cache would.
//
//   bench_overlay [paths]     (default 10000)
//
// Prints the microseconds per path of both ways and their ratio.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "shell_host.h"
#include "syncer/tables/binding_manager.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/shell_overlay.h"

namespace {

using namespace vfs_session_testing;
using clock_type = std::chrono::steady_clock;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);
constexpr int bindings = 100;

std::wstring bound_folder(int index) {
    return L"C:\\Users\\bench\\Pairs\\folder " + std::to_wstring(index);
}

// The paths Explorer would ask about: files in the bound folders and, every
// hundredth, a bound folder itself.
std::vector<std::wstring> asked_paths(int count) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back(i % 100 == 0 ? bound_folder(i / 100 % bindings)
                                     : bound_folder(i % bindings) + L"\\file " +
                                           std::to_wstring(i) + L".txt");
    return paths;
}

double microseconds_per(int count, const clock_type::time_point& start) {
    return std::chrono::duration<double, std::micro>(clock_type::now() - start).count() / count;
}

// Reads the table and compares as the identifier does, for one path.
bool read_per_path(const std::wstring& path) {
    syncer::binding_set stored;
    {
        syncer::binding_manager table(L"bench", true);
        stored = table.get_bindings();
    }
    std::wstring wanted = path;
    for (wchar_t& c : wanted)
        if (c == L'\\') c = L'/';
    for (const syncer::binding& binding : stored) {
        std::wstring local = binding.dir_local;
        for (wchar_t& c : local)
            if (c == L'\\') c = L'/';
        if (local == wanted && binding._type == syncer::binding::type_user_choice) return true;
    }
    return false;
}

int run(int count) {
    environment env;
    tray_stand_in tray;
    if (shell_host::register_server(module_path) != S_OK)
        throw std::runtime_error("the extension could not be registered");
    env.service().add_user("bench", "secret");
    vfs_calvimora::login(test_module(), L"bench", L"secret");
    {
        syncer::binding_manager table(L"bench", true);
        for (int i = 0; i < bindings; ++i)
            table.add_binding(syncer::binding(syncer::binding::type_user_choice, 1,
                                              L"Pairs/folder " + std::to_wstring(i),
                                              bound_folder(i), L"", syncer::sync_permission::yes,
                                              syncer::binding::default_rule(), false, L""));
    }
    const std::vector<std::wstring> paths = asked_paths(count);

    shell_host::com_apartment apartment;
    IShellIconOverlayIdentifier* identifier = nullptr;
    if (FAILED(shell_host::create_instance(utils::clsid_shell_overlay_icon,
                                           IID_IShellIconOverlayIdentifier,
                                           reinterpret_cast<void**>(&identifier))))
        throw std::runtime_error("the overlay identifier could not be created");
    int marked = 0;
    auto start = clock_type::now();
    for (const std::wstring& path : paths)
        if (identifier->IsMemberOf(path.c_str(), 0) == S_OK) ++marked;
    const double cached = microseconds_per(count, start);
    identifier->Release();
    shell_host::unload_unused_servers();

    // The peer reads the whole table for every path; a tenth of the paths
    // is enough to time it.
    const int peer_count = std::max(count / 10, 1);
    int peer_marked = 0;
    start = clock_type::now();
    for (int i = 0; i < peer_count; ++i)
        if (read_per_path(paths[static_cast<size_t>(i)])) ++peer_marked;
    const double per_read = microseconds_per(peer_count, start);

    const int expected = (count + 99) / 100;
    if (marked != expected)
        throw std::runtime_error("the identifier marked " + std::to_string(marked) +
                                 " paths, not " + std::to_string(expected));
    std::printf("overlay: %d paths, %d bindings, %d marked\n", count, bindings, marked);
    std::printf("  IsMemberOf                      %8.2f us per path\n", cached);
    std::printf("  table read for every path       %8.2f us per path (%d paths)\n", per_read,
                peer_count);
    std::printf("  ratio (read per path / IsMemberOf) %.1f\n", per_read / cached);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
        if (count <= 0) {
            std::fprintf(stderr, "usage: bench_overlay [paths]\n");
            return 2;
        }
        return run(count);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_overlay: %s\n", failure.what());
        return 1;
    }
}
