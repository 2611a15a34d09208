// The POSIX system-call table with the system's own calls in every row.
#include "platform/posix_calls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace qel::platform::detail {
namespace {

int openWithMode(const char* name, int flags, mode_t mode) { return ::open(name, flags, mode); }

}  // namespace

PosixCalls posixCalls = {
    {"open", &openWithMode},
    {"read", &::read},
    {"pread", &::pread},
    {"pwrite", &::pwrite},
    {"close", &::close},
    {"fstat", &::fstat},
    {"stat", &::stat},
    {"flock", &::flock},
    {"ftruncate", &::ftruncate},
    {"nanosleep", &::nanosleep},
    {"clock_gettime", &::clock_gettime},
};

}  // namespace qel::platform::detail
