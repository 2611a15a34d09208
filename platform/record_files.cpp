// The policy of the files that the library writes in the working folder,
// written once over the per-system steps of plain_file.h: the bounded wait
// for a lock, the whole-or-nothing append with its take-back, the repair of
// a line cut off by a crash, the rotation in place, the read of a pair in
// one picture and the whole-or-nothing rewrite.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/plain_file.h"
#include "platform/platform.h"
#include "platform/whole_read.h"

namespace qel::platform {
namespace {

using detail::Access;
using detail::FileState;
using detail::NativeFile;

constexpr FileWriteResult kWritten{FileWrite::Ok, 0};
// A rotation copies through a buffer of this size.
constexpr std::size_t kCopyChunk = 64 * 1024;

// A working-folder file opened by name, unlocked and closed when it goes.
class OpenedFile {
 public:
  OpenedFile(const std::string& name, Access access)
      : file_(detail::openPlain(name, access)), openError_(file_ == detail::kNoFile ? detail::lastError() : 0) {}
  ~OpenedFile() {
    if (locked_) detail::unlockFile(file_);
    if (file_ != detail::kNoFile) detail::closeFile(file_);
  }
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;

  explicit operator bool() const { return file_ != detail::kNoFile; }
  NativeFile get() const { return file_; }
  std::uint32_t openError() const { return openError_; }

  // Takes the writers' (`exclusive`) or the readers' lock, trying it again
  // kLockRetries times. False when another held it throughout; a file
  // system without locks counts as taken.
  bool lock(bool exclusive) {
    for (int retry = 0;; ++retry) {
      switch (detail::tryLock(file_, exclusive)) {
        case detail::LockTry::Taken:
          locked_ = true;
          return true;
        case detail::LockTry::Unsupported:
          return true;
        case detail::LockTry::Busy:
          break;
      }
      if (retry == kLockRetries) return false;
      detail::pauseBetweenTries();
    }
  }

 private:
  NativeFile file_;
  std::uint32_t openError_;
  bool locked_ = false;
};

FileWriteResult failedNow() { return {FileWrite::Failed, detail::lastError()}; }

// Opens `name` for writing and takes the writers' lock; `state` then holds
// the file's state.
FileWriteResult openForWriting(OpenedFile& file, FileState& state) {
  if (!file) return {FileWrite::NotOpened, file.openError()};
  if (!file.lock(true)) return {FileWrite::Locked, 0};
  if (!detail::fileState(file.get(), state)) return failedNow();
  if (!state.plain) return {FileWrite::NotRegular, 0};
  return kWritten;
}

// Writes all of `bytes` at `offset`; a write that moves nothing fails.
FileWriteResult writeWhole(NativeFile file, std::uint64_t offset, std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t written = 0;
    if (!detail::writeAt(file, offset, bytes.data(), bytes.size(), written)) return failedNow();
    if (written == 0) return {FileWrite::Failed, 0};
    offset += written;
    bytes.remove_prefix(written);
  }
  return kWritten;
}

// Appends `bytes` to the locked `file` of `size` bytes. A write that fails
// part of the way (a full disk) is taken back to `size`, so that no half an
// entry stays behind for the next one to be glued to.
FileWriteResult appendAt(NativeFile file, std::uint64_t size, std::string_view bytes) {
  const FileWriteResult written = writeWhole(file, size, bytes);
  if (!written) detail::cutAt(file, size);
  return written;
}

// Reads the whole of the opened `file`, at most `maxBytes` of it.
FileReadResult readOpened(NativeFile file, std::string& content, std::size_t maxBytes) {
  FileState state{};
  if (!detail::fileState(file, state)) return {FileRead::Failed, detail::lastError()};
  if (!state.plain) return {FileRead::NotRegular, 0};
  if (state.size > maxBytes) return {FileRead::TooLarge, 0};
  std::uint64_t offset = 0;
  return detail::readWhole(static_cast<std::size_t>(state.size), content, maxBytes, SIZE_MAX,
                           [&](char* into, std::size_t wanted, std::size_t& got, std::uint32_t& error) {
                             if (!detail::readAt(file, offset, into, wanted, got)) {
                               error = detail::lastError();
                               return false;
                             }
                             offset += got;
                             return true;
                           });
}

// Copies the first `size` bytes of `from` over the whole of `to`.
FileWriteResult copyOver(NativeFile from, std::uint64_t size, NativeFile to) {
  if (!detail::cutAt(to, 0)) return failedNow();
  std::string chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, kCopyChunk)), '\0');
  for (std::uint64_t offset = 0; offset < size;) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size - offset, chunk.size()));
    std::size_t got = 0;
    if (!detail::readAt(from, offset, chunk.data(), wanted, got)) return failedNow();
    if (got == 0) return {FileWrite::Failed, 0};
    const FileWriteResult written = writeWhole(to, offset, {chunk.data(), got});
    if (!written) return written;
    offset += got;
  }
  return kWritten;
}

// Moves the `size` bytes of the locked `file` to `previous`, replacing what
// that held, and empties `file`, in place: nothing is renamed, so the folder
// needs no right. A crash between the copy and the emptying leaves the lines
// in both files, never in neither; a copy or an emptying that fails is
// undone by emptying `previous`, whose old lines were to go anyway.
FileWriteResult rotate(NativeFile file, std::uint64_t size, const std::string& previous) {
  OpenedFile older(previous, Access::Write);
  if (!older) return {FileWrite::NotOpened, older.openError()};
  FileState state{};
  if (!detail::fileState(older.get(), state)) return failedNow();
  if (!state.plain) return {FileWrite::NotRegular, 0};
  FileWriteResult moved = copyOver(file, size, older.get());
  if (moved && !detail::cutAt(file, 0)) moved = failedNow();
  if (!moved) detail::cutAt(older.get(), 0);
  return moved;
}

// The last byte of the locked `file` of `size` bytes; a line break for an
// empty file.
bool readLastByte(NativeFile file, std::uint64_t size, char& last) {
  last = '\n';
  std::size_t got = 0;
  return size == 0 || (detail::readAt(file, size - 1, &last, 1, got) && got == 1);
}

}  // namespace

void detail::pauseBetweenTries() {
  pauseMilliseconds(kLockPauseMs);
  keepTransferAlive();
}

FileWriteResult appendToFile(const std::string& name, std::string_view bytes) {
  OpenedFile file(name, Access::Write);
  FileState state{};
  const FileWriteResult opened = openForWriting(file, state);
  return opened ? appendAt(file.get(), state.size, bytes) : opened;
}

FileWriteResult truncateFile(const std::string& name) {
  OpenedFile file(name, Access::Write);
  FileState state{};
  const FileWriteResult opened = openForWriting(file, state);
  if (!opened) return opened;
  return detail::cutAt(file.get(), 0) ? kWritten : failedNow();
}

FileWriteResult appendRecord(const std::string& name, std::string_view record, std::uint64_t limit,
                             const std::string& previous) {
  OpenedFile file(name, Access::Write);
  FileState state{};
  const FileWriteResult opened = openForWriting(file, state);
  if (!opened) return opened;
  std::uint64_t size = state.size;
  if (size > 0 && size + record.size() > limit) {
    const FileWriteResult rotated = rotate(file.get(), size, previous);
    if (!rotated) return rotated;
    size = 0;
  }
  char last;
  if (!readLastByte(file.get(), size, last)) return failedNow();
  if (last == '\n') return appendAt(file.get(), size, record);
  std::string joined;
  joined.reserve(record.size() + 1);
  joined.append(1, '\n').append(record);
  return appendAt(file.get(), size, joined);
}

RecordFiles readRecordFiles(const std::string& name, const std::string& previous, std::size_t maxBytes) {
  RecordFiles files{{}, {}, FileRead::Missing, FileRead::Missing, false};
  OpenedFile current(name, Access::Read);
  files.unlocked = current && !current.lock(false);
  const OpenedFile older(previous, Access::Read);
  if (older) {
    files.previousStatus = readOpened(older.get(), files.previous, maxBytes).status;
  } else if (!detail::isMissing(older.openError())) {
    files.previousStatus = FileRead::NotOpened;
  }
  if (current) {
    files.currentStatus = readOpened(current.get(), files.current, maxBytes).status;
  } else if (!detail::isMissing(current.openError())) {
    files.currentStatus = FileRead::NotOpened;
  }
  return files;
}

FileWriteResult replaceRecords(const std::string& name, std::size_t maxBytes, const RecordReplacer& replace) {
  OpenedFile file(name, Access::Write);
  FileState state{};
  const FileWriteResult opened = openForWriting(file, state);
  if (!opened) return opened;
  std::string content;
  const FileReadResult read = readOpened(file.get(), content, maxBytes);
  if (read.status == FileRead::TooLarge) return {FileWrite::TooLarge, 0};
  if (read.status != FileRead::Ok) return {FileWrite::Failed, read.systemError};
  std::string replacement;
  if (!replace(content, replacement)) return kWritten;
  FileWriteResult written = writeWhole(file.get(), 0, replacement);
  if (written && !detail::cutAt(file.get(), replacement.size())) written = failedNow();
  if (!written && writeWhole(file.get(), 0, content)) detail::cutAt(file.get(), content.size());
  return written;
}

}  // namespace qel::platform
