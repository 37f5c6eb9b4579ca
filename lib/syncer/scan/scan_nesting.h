// The parts of a binding's local folder that other bindings own. A binding
// whose local folder lies inside another binding's local folder (a folder of
// it bound on its own, or one file of it) syncs what it covers alone: the
// enclosing binding's walks pass over it on both sides, so one file never
// goes to two remote places.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "syncer/core/binding.h"

namespace syncer {

class nested_bindings {
public:
    nested_bindings() = default;
    // The bindings of the table nested in owner's local folder; a file
    // binding holds nothing but its file, so nothing nests in it.
    nested_bindings(const binding& owner, const binding_set& table);

    bool empty() const { return folders_.empty() && files_.empty(); }
    // Whether another binding owns the local folder: it, or a folder above
    // it, is the local folder of a nested folder binding.
    bool owns_folder(const std::wstring& dir_local) const;
    // The names of the files of that local folder that nested file bindings
    // own (mostly none).
    std::vector<std::wstring> owned_files_in(const std::wstring& dir_local) const;

private:
    std::vector<std::wstring> folders_;
    // Local folder and file name.
    std::vector<std::pair<std::wstring, std::wstring>> files_;
};

}  // namespace syncer
