// Starting and stopping the library, counted.
#include <atomic>

#include "gdiplus_internal.h"

namespace {

std::atomic<int> startups{0};
std::atomic<ULONG_PTR> next_token{1};

}  // namespace

namespace gdiplus_detail {

bool running() {
    return startups.load() > 0;
}

}  // namespace gdiplus_detail

namespace Gdiplus {

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input,
                      GdiplusStartupOutput* output) {
    if (!token || !input) return InvalidParameter;
    if (input->GdiplusVersion < 1 || input->GdiplusVersion > 3) return UnsupportedGdiplusVersion;
    if (input->SuppressBackgroundThread && !output) return InvalidParameter;
    if (output) *output = GdiplusStartupOutput{};
    ++startups;
    *token = next_token++;
    return Ok;
}

void GdiplusShutdown(ULONG_PTR token) {
    if (token == 0) return;
    int current = startups.load();
    while (current > 0 && !startups.compare_exchange_weak(current, current - 1)) {
    }
}

}  // namespace Gdiplus
