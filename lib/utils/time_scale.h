// One process-wide factor for every waiting constant of the programs, so
// that tests run the same code quickly. It is read once from the environment
// variable CALVIMORA_TIME_SCALE (child processes inherit it); without it, or
// with a value that is not a positive number, it is 1 and every wait keeps
// its real length.
#pragma once

#include <chrono>

namespace utils {

inline constexpr const char* time_scale_variable = "CALVIMORA_TIME_SCALE";

double time_scale();

// The duration multiplied by the time scale.
std::chrono::microseconds scaled(std::chrono::microseconds duration);

// Sleeps the calling thread for the scaled duration.
void sleep_scaled(std::chrono::microseconds duration);

}  // namespace utils
