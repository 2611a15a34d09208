// What a child process offers the same way on every system, over the
// per-system start, poll and stop.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "kit/child_process.h"

namespace qel::kit {
namespace {

// How often a waiting parent looks again.
constexpr int kPollMs = 10;

}  // namespace

std::string ChildProcess::firstLine(const std::string& file, int patienceMs) {
  for (int waited = 0; waited <= patienceMs; waited += kPollMs) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    if (std::getline(in, line) && !in.eof()) return line;
    if (poll()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  return {};
}

}  // namespace qel::kit
