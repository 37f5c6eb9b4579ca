// The part files the shell host's copies out leave when broken off, and
// which of them the next copy into their folder removes.
#include "part_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The number of a process that has ended.
pid_t ended_process() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

void make(const fs::path& path, std::chrono::seconds age = std::chrono::seconds(0)) {
    std::ofstream(path) << "part";
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

TEST(HostPartFiles, OnlyPartFilesNobodyWritesAnyMoreAreRemoved) {
    const fs::path folder = fs::temp_directory_path() / ("part-files-" + std::to_string(getpid()));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string gone = ".download-" + std::to_string(ended_process()) + "-";
    const auto minutes = std::chrono::minutes(2);

    make(folder / (gone + "1.part"));                         // its writer ended
    make(folder / shell_host::part_file_name(901));           // a live writer's, just made
    make(folder / shell_host::part_file_name(902), minutes);  // untouched, nobody holds it
    make(folder / shell_host::part_file_name(903), minutes);  // held by its writer
    const int writer = open((folder / shell_host::part_file_name(903)).c_str(), O_RDONLY);
    ASSERT_EQ(flock(writer, LOCK_EX), 0);
    for (const std::string name :
         {".download-1-x.part", "download-1-1.part", ".download-1-1.part.kept"})
        make(folder / name, minutes);
    fs::create_directory(folder / (gone + "2.part"));
    make(folder / "target", minutes);
    fs::create_symlink(folder / "target", folder / (gone + "3.part"));

    shell_host::remove_abandoned_part_files(folder);
    close(writer);

    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(folder))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    std::vector<std::string> expected{gone + "2.part",
                                      gone + "3.part",
                                      ".download-1-1.part.kept",
                                      ".download-1-x.part",
                                      shell_host::part_file_name(901),
                                      shell_host::part_file_name(903),
                                      "download-1-1.part",
                                      "target"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(left, expected);
    fs::remove_all(folder);
}

}  // namespace
