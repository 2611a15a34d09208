// Child processes on Windows: CreateProcess, WaitForSingleObject and
// TerminateProcess.
#include <windows.h>

#include <stdexcept>

#include "kit/child_process.h"

namespace qel::kit {

struct ChildProcess::Handle {
  PROCESS_INFORMATION process{};
  ~Handle() {
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
  }
};

namespace {

// One argument as the C runtime of the child splits its command line:
// quoted, with backslashes doubled before a quote.
std::string quoted(const std::string& argument) {
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

// An inheritable handle, closed when it goes.
struct InheritedFile {
  explicit InheritedFile(HANDLE handle) : handle(handle) {}
  ~InheritedFile() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  HANDLE handle;
};

HANDLE openInherited(const std::string& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& outputFile, const std::string& errorFile)
    : handle_(std::make_unique<Handle>()) {
  std::string commandLine = quoted(program);
  for (const std::string& argument : arguments) commandLine += " " + quoted(argument);
  const InheritedFile input(openInherited("NUL", GENERIC_READ, OPEN_EXISTING));
  const InheritedFile output(openInherited(outputFile, FILE_APPEND_DATA, OPEN_ALWAYS));
  if (output.handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + outputFile);
  const InheritedFile error(openInherited(errorFile.empty() ? outputFile : errorFile, FILE_APPEND_DATA, OPEN_ALWAYS));
  if (error.handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + errorFile);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.handle;
  startup.hStdOutput = output.handle;
  startup.hStdError = error.handle;
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &handle_->process)) {
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
  }
}

ChildProcess::~ChildProcess() {
  if (!exitCode_) kill();
}

std::optional<int> ChildProcess::poll() {
  if (!exitCode_ && WaitForSingleObject(handle_->process.hProcess, 0) == WAIT_OBJECT_0) {
    DWORD code = 0;
    GetExitCodeProcess(handle_->process.hProcess, &code);
    exitCode_ = static_cast<int>(code);
  }
  return exitCode_;
}

int ChildProcess::wait() {
  WaitForSingleObject(handle_->process.hProcess, INFINITE);
  return *poll();
}

void ChildProcess::kill() {
  if (exitCode_) return;
  TerminateProcess(handle_->process.hProcess, 137);
  wait();
}

void ChildProcess::stop() { kill(); }

long ChildProcess::id() const { return static_cast<long>(handle_->process.dwProcessId); }

}  // namespace qel::kit
