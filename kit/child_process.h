// A program started by a test tool, its standard output and error in a
// file: waited for, or killed by its process id without a chance to tidy up
// (SIGKILL to its process group on POSIX, so that a wrapper script dies with
// what it started; TerminateProcess on Windows), as a crash or a pulled plug
// would end it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qel::kit {

class ChildProcess {
 public:
  // Starts `program` with `arguments`, standard input empty, standard
  // output appended to `outputFile` and standard error to `errorFile` (empty:
  // to `outputFile` as well); throws std::runtime_error with the system's
  // reason when it cannot.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments, const std::string& outputFile,
               const std::string& errorFile = "");
  // A child still running is killed.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Its exit code once it ended; nothing while it runs.
  std::optional<int> poll();
  // Waits for its end and gives its exit code.
  int wait();
  // Ends it at once and waits for that.
  void kill();
  // Asks it to end (SIGTERM; on Windows, as kill()) and waits for that.
  void stop();
  // Its process id.
  long id() const;
  // The first line it wrote to `file` (without the line break), waiting for
  // it while it runs, up to `patienceMs`; empty when none came.
  std::string firstLine(const std::string& file, int patienceMs = 5000);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::optional<int> exitCode_;
};

}  // namespace qel::kit
