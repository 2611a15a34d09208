// Points in time as UTC texts, computed from the clock's count alone: the
// same text on every runtime, whatever its time-zone settings.
#pragma once

#include <chrono>
#include <string>

namespace qel {

// "2026-12-07T14:32:05.123Z": ISO 8601 in UTC with milliseconds.
std::string isoUtc(std::chrono::system_clock::time_point when);

}  // namespace qel
