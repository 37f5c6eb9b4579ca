// Room core, the lowest room of the sync engine (the order of the rooms:
// lib/syncer/CMakeLists.txt); it includes no other room: the binding and its
// rule, paths, the engine's failures, local and remote file states, pooled
// paths and short texts, and the user-interface callback with its message
// kinds, texts and answer codes.
//
// One folder pair of the sync engine: a local folder (or one file in it)
// bound to a remote folder, with what the engine may do there on its own.
#pragma once

#include <set>
#include <string>

#include "serializer/node.h"
#include "syncer/core/sync_rule.h"

namespace syncer {

struct binding {
    // Kinds of binding (_type).
    static constexpr int type_user_choice = 0;  // chosen in the shell extension's sync pages
    static constexpr int type_open_copy = 1;    // a local copy of an opened file, while it is there
    static constexpr int type_upload_only = 2;
    static constexpr int type_saved_files = 3;  // the per-user saved-files folder

    int _type = type_saved_files;
    // 0: scanned only while force_sync_once is set; any other value: every pass.
    int _mode = 1;
    std::wstring dir_remote;
    std::wstring dir_local;
    // Empty for a folder binding; the one file of a file binding.
    std::wstring filename;
    sync_permission can_recourse_subdirs = sync_permission::yes;
    sync_rule rule = default_rule();
    bool force_sync_once = false;
    // File name of the binding's item table in the settings folder; the
    // binding table assigns it when the binding is added.
    std::wstring items_filename;

    binding() = default;
    binding(const std::wstring& dir_remote, const std::wstring& dir_local,
            const std::wstring& filename, const std::wstring& items_filename);
    binding(int type, int mode, const std::wstring& dir_remote, const std::wstring& dir_local,
            const std::wstring& filename, sync_permission can_recourse_subdirs,
            const sync_rule& rule, bool force_sync_once, const std::wstring& items_filename);

    // Upload and overwrite either way and local removal of files allowed,
    // everything else refused.
    static sync_rule default_rule();

    // Identity and order: dir_remote, then dir_local as paths ("/" and "\"
    // alike), then filename as plain text. Nothing else takes part.
    struct less {
        bool operator()(const binding& first, const binding& second) const;
    };
    // Neither orders before the other.
    bool is_same_as(const binding& other) const;

    // dir_local " <- " filename " -> " dir_remote, for messages.
    std::wstring to_string() const;

    // Fills a "binding" node with the fields as named children.
    void to_node(serializer::node& target) const;
    // Reads a stored node; missing children take the stored form's defaults
    // (_type 0, _mode 1, empty texts, permissions not set, no force_sync_once).
    static binding from_node(const serializer::node& source);
};

using binding_set = std::set<binding, binding::less>;

}  // namespace syncer
