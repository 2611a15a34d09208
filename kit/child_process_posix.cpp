// Child processes on POSIX: posix_spawn in a process group of its own,
// waitpid, and SIGKILL to that group.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "kit/child_process.h"

extern char** environ;

namespace qel::kit {

struct ChildProcess::Handle {
  pid_t pid = -1;
};

namespace {

int exitCodeOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& outputFile, const std::string& errorFile)
    : handle_(std::make_unique<Handle>()) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (errorFile.empty()) {
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  const int error = posix_spawn(&handle_->pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
}

ChildProcess::~ChildProcess() {
  if (!exitCode_) kill();
}

std::optional<int> ChildProcess::poll() {
  if (exitCode_) return exitCode_;
  int status = 0;
  if (::waitpid(handle_->pid, &status, WNOHANG) == handle_->pid) exitCode_ = exitCodeOf(status);
  return exitCode_;
}

int ChildProcess::wait() {
  int status = 0;
  while (!exitCode_) {
    if (::waitpid(handle_->pid, &status, 0) == handle_->pid) exitCode_ = exitCodeOf(status);
  }
  return *exitCode_;
}

void ChildProcess::kill() {
  if (exitCode_) return;
  ::kill(-handle_->pid, SIGKILL);
  wait();
}

void ChildProcess::stop() {
  if (exitCode_) return;
  ::kill(handle_->pid, SIGTERM);
  wait();
}

long ChildProcess::id() const { return handle_->pid; }

}  // namespace qel::kit
