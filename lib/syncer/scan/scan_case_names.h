// The service's names ignore case while the local disk's do not: a file or
// folder renamed by case only on one side looks like a removal of the old
// name and a new item under the new one. What one binding's turn writes, by
// name folded to one case, so that no removal takes what a transfer writes
// and an upload knows to give the remote names the local case.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "syncer/core/binding.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/scan_decision.h"
#include "syncer/scan/scan_task_list.h"

namespace syncer {

// A path in one case, "\" taken as "/".
std::wstring fold_case(const std::wstring& path);

class case_writes {
public:
    // The uploads and downloads the plans hold (a transfer that is not a
    // refused removal's fallback) and the transfers of the binding waiting in
    // the task list; the candidates' remote names are read from them when
    // asked for, so they must outlive this object.
    void gather(const candidate_set& candidates, const std::vector<item_plan>& plans,
                const task_list& tasks, const binding& owner);

    // Whether the removal of that kind of the candidate would take a name a
    // transfer writes, under any case: a file's removal the file written at
    // its name, a folder's anything written below it. A write of the other
    // kind (into a folder where the file is, a file where the folder is)
    // needs the name freed first, so it holds no removal.
    bool takes_written_name(const sync_item& candidate, int removal_kind) const;

    // Whether the remote side holds the candidate's file, or a folder on its
    // way below the binding's folder, under a name that differs in case only.
    bool remote_case_differs(const sync_item& candidate, const binding& owner) const;

private:
    static bool writes_below(const std::set<std::wstring>& writes, const std::wstring& folded);

    // Folded path of every remote file and folder found -> its exact path;
    // made on the first upload that asks, so a pass with nothing to send
    // never builds it.
    const std::map<std::wstring, std::wstring>& remote_names() const;

    std::set<std::wstring> remote_writes_;
    std::set<std::wstring> local_writes_;
    const candidate_set* candidates_ = nullptr;
    mutable std::optional<std::map<std::wstring, std::wstring>> remote_names_;
};

}  // namespace syncer
