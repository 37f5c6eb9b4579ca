#include "syncer/tables/sync_item.h"

#include <algorithm>
#include <cwctype>
#include <limits>
#include <utility>

#include "syncer/core/paths.h"

namespace syncer {

namespace {

// Leading blanks, an optional sign and decimal digits, as integers are read
// everywhere in the settings files; nothing when the text does not start
// with a number or the number does not fit in 64 bits.
bool parse_int64(const std::wstring& text, std::int64_t& result) {
    std::size_t at = 0;
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at]))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    if (at == text.size() || text[at] < L'0' || text[at] > L'9') return false;
    // Accumulated as a negative number, whose range reaches the minimum.
    constexpr std::int64_t minimum = std::numeric_limits<std::int64_t>::min();
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        const int digit = text[at] - L'0';
        if (value < (minimum + digit) / 10) return false;
        value = value * 10 - digit;
    }
    if (!negative && value == minimum) return false;
    result = negative ? value : -value;
    return true;
}

// The stored text of a missing side.
constexpr std::int64_t stored_missing = -1;

const wchar_t* const dated_minus_one = L"dated_minus_one";

std::int64_t time_from(const serializer::node& source, const wchar_t* name,
                       bool minus_one_is_real) {
    std::int64_t time = missing_time;
    const auto child = source.find(name);
    if (child == source.end() || !parse_int64(child->second.value, time)) return missing_time;
    if (time == stored_missing && !minus_one_is_real) return missing_time;
    return time;
}

std::wstring stored_text(std::int64_t time) {
    return std::to_wstring(time == missing_time ? stored_missing : time);
}

const wchar_t* const local_synced = L"local_synced";
const wchar_t* const local_seen = L"local_seen";

std::wstring state_text(const local_file_state& state) {
    return std::to_wstring(state.size) + L" " + std::to_wstring(state.write_time_ns) + L" " +
           std::to_wstring(state.change_time_ns);
}

// Exactly three numbers, each after a single space but the first, and a size
// that is no negative number; anything else is no state.
bool state_from(const std::wstring& text, local_file_state& state) {
    std::int64_t numbers[3] = {};
    std::size_t at = 0;
    for (std::int64_t& number : numbers) {
        if (&number != numbers && (at >= text.size() || text[at++] != L' ')) return false;
        const std::size_t end = std::min(text.find(L' ', at), text.size());
        const std::wstring field = text.substr(at, end - at);
        if (field.empty() || std::iswspace(static_cast<wint_t>(field[0])) ||
            !parse_int64(field, number) || std::to_wstring(number) != field)
            return false;
        at = end;
    }
    if (at != text.size() || numbers[0] < 0) return false;
    state = local_file_state{};
    state.size = numbers[0];
    state.write_time_ns = numbers[1];
    state.change_time_ns = numbers[2];
    return true;
}

}  // namespace

sync_item::sync_item(shared_path dir_remote, shared_path dir_local, std::wstring filename)
    : dir_remote(std::move(dir_remote)),
      dir_local(std::move(dir_local)),
      filename(std::move(filename)) {}

sync_item::sync_item(const binding& owner)
    : dir_remote(owner.dir_remote),
      dir_local(owner.dir_local),
      filename(owner.filename),
      rule(owner.rule) {}

bool sync_item::less::operator()(const sync_item& first, const sync_item& second) const {
    // Records of the same folder hold the same texts: no need to read them.
    if (!first.dir_remote.same_as(second.dir_remote)) {
        if (const int order = compare_paths(first.dir_remote, second.dir_remote); order != 0)
            return order < 0;
    }
    if (!first.dir_local.same_as(second.dir_local)) {
        if (const int order = compare_paths(first.dir_local, second.dir_local); order != 0)
            return order < 0;
    }
    return first.filename < second.filename;
}

void sync_item::to_node(serializer::node& target) const {
    target.set(L"dir_remote", dir_remote);
    target.set(L"dir_local", dir_local);
    target.set(L"filename", filename);
    rule_to_node(rule, target.add(L"rule", L"")->second);
    target.set(L"last_time_remote", stored_text(last_time_remote));
    target.set(L"last_time_local", stored_text(last_time_local));
    if (synced_time != missing_time) target.set(L"synced_time", std::to_wstring(synced_time));
    const bool local_minus_one = last_time_local == stored_missing;
    const bool remote_minus_one = last_time_remote == stored_missing;
    if (local_minus_one || remote_minus_one)
        target.set(dated_minus_one, local_minus_one && remote_minus_one ? L"both"
                                    : local_minus_one                   ? L"local"
                                                                        : L"remote");
    if (local_record != recorded_local::unknown)
        target.set(local_record == recorded_local::synced ? local_synced : local_seen,
                   state_text(local_file));
}

sync_item sync_item::from_node(const serializer::node& source) {
    sync_item result(source.get(L"dir_remote", L""), source.get(L"dir_local", L""),
                     source.get(L"filename", L""));
    const auto stored_rule = source.find(L"rule");
    if (stored_rule != source.end()) result.rule = rule_from_node(stored_rule->second);
    const std::wstring minus_one = source.get(dated_minus_one, L"");
    result.last_time_remote =
        time_from(source, L"last_time_remote", minus_one == L"remote" || minus_one == L"both");
    result.last_time_local =
        time_from(source, L"last_time_local", minus_one == L"local" || minus_one == L"both");
    result.synced_time = time_from(source, L"synced_time", true);
    for (const auto& [name, kind] : {std::pair{local_synced, recorded_local::synced},
                                     std::pair{local_seen, recorded_local::seen}}) {
        const auto child = source.find(name);
        if (child != source.end() && state_from(child->second.value, result.local_file)) {
            result.local_record = kind;
            break;
        }
    }
    return result;
}

void record_agreement(const sync_item& stored, std::int64_t time, const local_file_state& local) {
    stored.last_time_remote = time;
    stored.last_time_local = time;
    stored.synced_time = time;
    stored.local_file = local;
    stored.local_file.inode = 0;
    stored.local_record = recorded_local::synced;
}

}  // namespace syncer
