// The system calls of the POSIX working-folder files, made through one table
// whose rows tests may point at stand-ins that fail, come back short or are
// interrupted.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

#include <cstddef>
#include <ctime>

#include "platform/system_call.h"

namespace qel::platform::detail {

struct PosixCalls {
  // open(2) with its mode always given, so that its type is not variadic.
  SystemCall<int(const char*, int, mode_t)> open;
  SystemCall<ssize_t(int, void*, std::size_t)> read;
  SystemCall<ssize_t(int, void*, std::size_t, off_t)> pread;
  SystemCall<ssize_t(int, const void*, std::size_t, off_t)> pwrite;
  SystemCall<int(int)> close;
  SystemCall<int(int, struct stat*)> fstat;
  SystemCall<int(const char*, struct stat*)> stat;
  // flock(2), the turn of each writer of a working-folder file.
  SystemCall<int(int, int)> flock;
  SystemCall<int(int, off_t)> ftruncate;
  // The pause between two tries of a locked file.
  SystemCall<int(const struct timespec*, struct timespec*)> nanosleep;
  // clock_gettime(2): the steady clock of the progress window and of waits.
  SystemCall<int(clockid_t, timespec*)> clock_gettime;
};

extern PosixCalls posixCalls;

}  // namespace qel::platform::detail
