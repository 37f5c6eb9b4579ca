#include "syncer/core/binding.h"

#include "syncer/core/paths.h"

namespace syncer {

binding::binding(const std::wstring& dir_remote, const std::wstring& dir_local,
                 const std::wstring& filename, const std::wstring& items_filename)
    : dir_remote(dir_remote),
      dir_local(dir_local),
      filename(filename),
      items_filename(items_filename) {}

binding::binding(int type, int mode, const std::wstring& dir_remote, const std::wstring& dir_local,
                 const std::wstring& filename, sync_permission can_recourse_subdirs,
                 const sync_rule& rule, bool force_sync_once, const std::wstring& items_filename)
    : _type(type),
      _mode(mode),
      dir_remote(dir_remote),
      dir_local(dir_local),
      filename(filename),
      can_recourse_subdirs(can_recourse_subdirs),
      rule(rule),
      force_sync_once(force_sync_once),
      items_filename(items_filename) {}

sync_rule binding::default_rule() {
    using enum sync_permission;
    return sync_rule({yes, no, yes, yes, no, no, yes, no});
}

bool binding::less::operator()(const binding& first, const binding& second) const {
    if (const int order = compare_paths(first.dir_remote, second.dir_remote); order != 0)
        return order < 0;
    if (const int order = compare_paths(first.dir_local, second.dir_local); order != 0)
        return order < 0;
    return first.filename < second.filename;
}

bool binding::is_same_as(const binding& other) const {
    return !less()(*this, other) && !less()(other, *this);
}

std::wstring binding::to_string() const {
    return dir_local + L" <- " + filename + L" -> " + dir_remote;
}

void binding::to_node(serializer::node& target) const {
    target.set(L"_mode", _mode);
    target.set(L"_type", _type);
    target.set(L"dir_remote", dir_remote);
    target.set(L"dir_local", dir_local);
    target.set(L"filename", filename);
    target.set(L"items_filename", items_filename);
    target.set(L"can_recourse_subdirs", static_cast<int>(can_recourse_subdirs));
    rule_to_node(rule, target.add(L"rule", L"")->second);
    target.set(L"force_sync_once", force_sync_once ? 1 : 0);
}

binding binding::from_node(const serializer::node& source) {
    binding result;
    result._mode = source.get(L"_mode", 1);
    result._type = source.get(L"_type", 0);
    result.dir_remote = source.get(L"dir_remote", L"");
    result.dir_local = source.get(L"dir_local", L"");
    result.filename = source.get(L"filename", L"");
    result.items_filename = source.get(L"items_filename", L"");
    result.can_recourse_subdirs = permission_from_int(source.get(L"can_recourse_subdirs", 0));
    // Every writer adds the rule; a node without one asks the user for all.
    const auto stored_rule = source.find(L"rule");
    result.rule = stored_rule == source.end() ? sync_rule() : rule_from_node(stored_rule->second);
    result.force_sync_once = source.get(L"force_sync_once", 0) != 0;
    return result;
}

}  // namespace syncer
