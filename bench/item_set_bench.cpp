// Memory of the item set per tracked file, flat or not as the tree grows:
// the heap bytes (mallinfo2) that the records of N files in 400 folders
// take, measured three ways:
//
// - the candidates of a pass, added as the local walk adds them (with what
//   the disk told of each file) and then given their remote id as the remote
//   walk does;
// - the item table read back from its file, as a pass opens it;
// - the table kept between passes in the process (closed, then the heap
//   measured with nothing else open).
//
// The peer is a plain record of the same fields (two times, a size, an id,
// a name and a path given once per folder): the bytes a compact design
// cannot go below, printed beside the engine's.
//
//   bench_item_set [--files N[,N...]]   (default: 10000,100000,1000000)
#include <malloc.h>

#include <boost/filesystem/operations.hpp>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "syncer/scan/scan_candidates.h"
#include "syncer/tables/binding_manager.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "utils/locale.h"
#include "win/machine.h"

namespace {

namespace fs = boost::filesystem;

const std::wstring user = L"bench";
constexpr int top_folders = 20;
constexpr int sub_folders = 20;
constexpr std::int64_t file_time = 1650000000;

std::size_t heap_in_use() {
    const auto info = mallinfo2();
    // Large blocks are mapped on their own and counted apart.
    return info.uordblks + info.hblkhd;
}

struct folder_names {
    std::wstring remote;
    std::wstring local;
};

// The folders of the tree, on both sides, below the binding's roots.
std::vector<folder_names> folders_of(const std::wstring& remote_root,
                                     const std::wstring& local_root) {
    std::vector<folder_names> result;
    for (int top = 0; top < top_folders; ++top) {
        for (int sub = 0; sub < sub_folders; ++sub) {
            const std::wstring relative =
                L"/d" + std::to_wstring(top) + L"/s" + std::to_wstring(sub);
            result.push_back({remote_root + relative, local_root + relative});
        }
    }
    return result;
}

std::wstring file_name(std::size_t index) {
    return L"report-" + std::to_wstring(index) + L".txt";
}

// The candidates a pass with nothing to do builds for the tree.
void add_candidates(syncer::candidate_set& candidates, const std::vector<folder_names>& folders,
                    std::size_t per_folder) {
    const syncer::stop_signal stop;
    std::size_t id = 100001;
    for (const folder_names& folder : folders) {
        syncer::local_state folder_state;
        folder_state.exists = true;
        folder_state.is_directory = true;
        auto next = std::next(syncer::add_candidate(candidates, folder.remote, folder.local, L"",
                                                    syncer::missing_time, 0, folder_state, stop,
                                                    candidates.end()));
        for (std::size_t index = 0; index < per_folder; ++index) {
            syncer::local_state state;
            state.exists = true;
            state.file.size = 1;
            state.file.write_time_ns = file_time * 1'000'000'000;
            state.file.change_time_ns = state.file.write_time_ns;
            state.file.inode = id;
            const auto added =
                syncer::add_candidate(candidates, folder.remote, folder.local, file_name(index),
                                      syncer::missing_time, 0, state, stop, next);
            added->last_time_remote = file_time;
            added->remote_size = 1;
            added->remote_id = std::to_string(id++);
            next = std::next(added);
        }
    }
}

// A record of the fields a pass needs, its folder given by an index.
struct plain_record {
    std::int64_t time_remote;
    std::int64_t time_local;
    std::int64_t size;
    std::uint32_t folder;
    std::uint32_t id;
    std::string name;
};

struct figures {
    double candidates = 0;
    double table_open = 0;
    double table_kept = 0;
    double plain = 0;
};

figures measure(std::size_t files) {
    win_machine::scoped_root root;
    const std::size_t per_folder = files / (top_folders * sub_folders);
    const std::size_t tracked = per_folder * top_folders * sub_folders;
    const fs::path local = fs::path(root.path()) / "home" / "someone" / "Calvimora" / "tree";
    const std::wstring remote_root = L"/Backups/tree";
    const auto folders = folders_of(remote_root, local.wstring());
    const auto per_file = [&](std::size_t before, std::size_t after) {
        return (static_cast<double>(after) - static_cast<double>(before)) /
               static_cast<double>(tracked);
    };
    figures result;

    syncer::binding made(remote_root, local.wstring(), L"", L"");
    syncer::locked_add_binding(user, made);
    const syncer::binding owner = *syncer::locked_get_bindings(user).find(made);

    {
        const std::size_t before = heap_in_use();
        syncer::candidate_set candidates;
        add_candidates(candidates, folders, per_folder);
        result.candidates = per_file(before, heap_in_use());
        // The candidates become the table, as a first pass records them.
        syncer::items_manager table(owner, user);
        for (const syncer::sync_item& candidate : candidates) table.insert(candidate);
        table.save();
    }
    // The process keeps the table it closed: a second binding of the same
    // folders, its table a copy of the file, is read from the file.
    syncer::binding second(remote_root, local.wstring() + L"/", L"", L"");
    syncer::locked_add_binding(user, second);
    const syncer::binding reader = *syncer::locked_get_bindings(user).find(second);
    fs::copy_file(syncer::items_manager::get_items_path(owner.items_filename, user),
                  syncer::items_manager::get_items_path(reader.items_filename, user));
    const std::size_t before_open = heap_in_use();
    {
        syncer::items_manager table(reader, user);
        result.table_open = per_file(before_open, heap_in_use());
    }
    result.table_kept = per_file(before_open, heap_in_use());

    {
        const std::size_t before = heap_in_use();
        std::vector<plain_record> records;
        std::vector<std::wstring> folder_paths;
        for (const folder_names& folder : folders) folder_paths.push_back(folder.local);
        for (std::uint32_t folder = 0; folder < folders.size(); ++folder) {
            for (std::size_t index = 0; index < per_folder; ++index) {
                records.push_back({file_time, file_time, 1, folder,
                                   static_cast<std::uint32_t>(records.size()),
                                   std::string("report-") + std::to_string(index) + ".txt"});
            }
        }
        records.shrink_to_fit();
        result.plain = per_file(before, heap_in_use());
    }
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    utils::imbue_utf8_locale();
    std::vector<std::size_t> counts{10000, 100000, 1000000};
    for (int index = 1; index < argc; ++index) {
        const std::string option = argv[index];
        if (option == "--files" && index + 1 < argc) {
            counts.clear();
            std::stringstream list(argv[++index]);
            for (std::string count; std::getline(list, count, ',');)
                counts.push_back(std::stoul(count));
        } else {
            std::fprintf(stderr, "usage: bench_item_set [--files N[,N...]]\n");
            return 2;
        }
    }
    std::printf("item set: heap bytes per tracked file (400 folders)\n");
    std::printf("  %9s %12s %12s %12s %12s %14s\n", "files", "candidates", "table open",
                "table kept", "plain record", "open / plain");
    for (const std::size_t files : counts) {
        const figures measured = measure(files);
        std::printf("  %9zu %12.0f %12.0f %12.0f %12.0f %14.2f\n", files, measured.candidates,
                    measured.table_open, measured.table_kept, measured.plain,
                    measured.table_open / measured.plain);
        std::fflush(stdout);
    }
    return 0;
}
