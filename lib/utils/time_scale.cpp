#include "utils/time_scale.h"

#include <cmath>
#include <cstdlib>
#include <thread>

namespace utils {

namespace {

double read_time_scale() {
    const char* text = std::getenv(time_scale_variable);
    if (text == nullptr || *text == '\0') {
        return 1.0;
    }
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (*end != '\0' || !std::isfinite(value) || value <= 0.0) {
        return 1.0;
    }
    return value;
}

}  // namespace

double time_scale() {
    static const double scale = read_time_scale();
    return scale;
}

std::chrono::microseconds scaled(std::chrono::microseconds duration) {
    return std::chrono::microseconds(
        std::llround(static_cast<double>(duration.count()) * time_scale()));
}

void sleep_scaled(std::chrono::microseconds duration) {
    std::this_thread::sleep_for(scaled(duration));
}

}  // namespace utils
