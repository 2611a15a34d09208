// A child's first line: read even without patience once the child has
// written it, and given up, not waited for, when it ended without one.
#include "kit/child_process.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/scratch_dir.h"

namespace qel::kit {
namespace {

TEST(ChildProcess, FirstLineIsReadOnceEvenWithoutPatience) {
  const test::ScratchDir dir;
  const struct {
    const char* script;
    int patienceMs;
    const char* line;
  } cases[] = {
      {"echo ready", 0, "ready"},  // written before the first look
      {"echo ready", 5000, "ready"},
      {"printf partial", 0, ""},      // a line without its end is no line
      {"printf partial", 60000, ""},  // ended: no waiting for the rest
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string out = (dir.path() / ("out" + std::to_string(++n))).string();
    ChildProcess child("/bin/sh", {"-c", c.script}, out);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_EQ(child.firstLine(out, c.patienceMs), c.line) << c.script << " " << c.patienceMs;
  }
}

}  // namespace
}  // namespace qel::kit
