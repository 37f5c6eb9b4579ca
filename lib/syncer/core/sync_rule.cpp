#include "syncer/core/sync_rule.h"

namespace syncer {

namespace {

using permission_member = sync_permission sync_rule::*;

struct field {
    permission_member member;
    const wchar_t* name;
};

constexpr std::array<field, sync_rule::size> fields{{
    {&sync_rule::can_upload, L"can_upload"},
    {&sync_rule::can_download, L"can_download"},
    {&sync_rule::can_overwrite_upload, L"can_overwrite_upload"},
    {&sync_rule::can_overwrite_download, L"can_overwrite_download"},
    {&sync_rule::can_remove_remote, L"can_remove_remote"},
    {&sync_rule::can_remove_remote_dir, L"can_remove_remote_dir"},
    {&sync_rule::can_remove_local, L"can_remove_local"},
    {&sync_rule::can_remove_local_dir, L"can_remove_local_dir"},
}};

}  // namespace

sync_permission permission_from_int(int value) {
    switch (value) {
        case 1:
            return sync_permission::no;
        case 2:
            return sync_permission::yes;
        default:
            return sync_permission::not_set;
    }
}

sync_rule::sync_rule(const std::array<sync_permission, size>& permissions) {
    for (int index = 0; index < size; ++index) (*this)[index] = permissions[index];
}

sync_permission& sync_rule::operator[](int index) {
    return this->*fields.at(static_cast<std::size_t>(index)).member;
}

sync_permission sync_rule::operator[](int index) const {
    return this->*fields.at(static_cast<std::size_t>(index)).member;
}

void sync_rule::merge_from(const sync_rule& source) {
    for (int index = 0; index < size; ++index) {
        if ((*this)[index] == sync_permission::not_set) (*this)[index] = source[index];
    }
}

void rule_to_node(const sync_rule& rule, serializer::node& target) {
    for (const field& entry : fields) target.set(entry.name, static_cast<int>(rule.*entry.member));
}

sync_rule rule_from_node(const serializer::node& source) {
    sync_rule rule;
    for (const field& entry : fields)
        rule.*entry.member = permission_from_int(source.get(entry.name, 0));
    return rule;
}

}  // namespace syncer
