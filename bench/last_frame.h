// Where a drawing benchmark saves its last frame: the path given as its one
// argument, else a file of the given name in "bench-frames" beside the
// program's folder (build/bench-frames for the programs in build/bin), so that
// no picture lands among the built programs. The folder is made when missing.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace bench_support {

inline std::string last_frame_path(int argc, char** argv, const char* usage,
                                   const char* file_name) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: %s\n", usage);
        std::exit(2);
    }
    namespace fs = std::filesystem;
    const fs::path picture = argc == 2
                                 ? fs::path(argv[1])
                                 : fs::read_symlink("/proc/self/exe").parent_path().parent_path() /
                                       "bench-frames" / file_name;
    std::error_code ignored;
    if (picture.has_parent_path()) fs::create_directories(picture.parent_path(), ignored);
    return picture.string();
}

}  // namespace bench_support
