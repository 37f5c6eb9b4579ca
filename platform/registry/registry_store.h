// One hive file on disk and the process's cached tree of it.
//
// Readers take no lock: the file is only ever replaced whole by rename, so
// any open sees a complete tree. The cache holds the loaded file open, which
// keeps its inode from being reused; a call reloads when the path names
// another file or the file was changed in place. Writers hold an exclusive flock on a companion
// lock file, reload, change the tree, write a temporary file, fsync it, rename it over the hive and
// fsync the folder.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>

#include "registry_hive.h"

namespace win_detail {

class registry_store {
public:
    // Calls visit on the current tree and returns its result, or ERROR_BADDB
    // when the hive file does not parse, ERROR_CANTREAD when it cannot be
    // read. A missing file is an empty hive.
    LONG read(const std::string& hive_path, const std::function<LONG(const registry_key&)>& visit);

    // Calls change on the current tree under the writers' lock; when it
    // succeeds and reports a change, the hive file is replaced. Errors as for
    // read, and ERROR_CANTWRITE or ERROR_DISK_FULL when the file cannot be
    // written (the file then keeps the old tree).
    LONG update(const std::string& hive_path,
                const std::function<LONG(registry_key&, bool& changed)>& change);

    // While read-only, an update that would change the tree changes nothing
    // and answers ERROR_ACCESS_DENIED, as a hive the caller may not write.
    void set_read_only(bool read_only) { read_only_ = read_only; }

    // The permissions of the files the store writes (0644 unless set); a
    // hive written with other permissions gets these at its next write.
    void set_file_mode(mode_t mode) { file_mode_ = mode; }

    registry_store() = default;
    ~registry_store();
    registry_store(const registry_store&) = delete;
    registry_store& operator=(const registry_store&) = delete;

private:
    LONG refresh(const std::string& hive_path);
    LONG save(const std::string& hive_path);
    void forget();

    std::string path_;
    int file_ = -1;          // the loaded file, or -1 for an empty hive without a file
    struct stat loaded_ {};  // the loaded file as it was when read
    std::unique_ptr<registry_key> root_;
    bool corrupt_ = false;
    bool read_only_ = false;
    mode_t file_mode_ = 0644;
};

}  // namespace win_detail
