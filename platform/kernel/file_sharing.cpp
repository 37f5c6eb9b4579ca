#include "file_sharing.h"

#include "win/file.h"

namespace win_file {

namespace {

struct claims_state {
    std::mutex lock;
    std::multimap<file_identity, share_claim> claims;
};

claims_state& state() {
    static auto* s = new claims_state;  // used until the process ends
    return *s;
}

// Whether what one handle does is allowed by what the other shares.
bool allowed_by(const share_claim& doing, const share_claim& sharing) {
    return (!doing.reads || (sharing.share & FILE_SHARE_READ)) &&
           (!doing.writes || (sharing.share & FILE_SHARE_WRITE)) &&
           (!doing.deletes || (sharing.share & FILE_SHARE_DELETE));
}

}  // namespace

share_claim removal_claim() {
    return {false, false, true, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE};
}

std::unique_lock<std::mutex> lock_claims() {
    return std::unique_lock<std::mutex>(state().lock);
}

bool claim_allowed(const file_identity& file, const share_claim& wanted) {
    // A handle that only looks at the attributes takes no part in sharing.
    const auto counts = [](const share_claim& c) { return c.reads || c.writes || c.deletes; };
    if (!counts(wanted)) return true;
    const auto [first, last] = state().claims.equal_range(file);
    for (auto held = first; held != last; ++held)
        if (counts(held->second) &&
            (!allowed_by(wanted, held->second) || !allowed_by(held->second, wanted)))
            return false;
    return true;
}

held_claim::held_claim(const file_identity& file, const share_claim& claim)
    : entry_(state().claims.emplace(file, claim)) {}

held_claim::~held_claim() {
    std::lock_guard<std::mutex> guard(state().lock);
    state().claims.erase(entry_);
}

}  // namespace win_file
