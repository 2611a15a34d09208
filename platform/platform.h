// The only interface to what Windows offers and POSIX lacks: dialogs, the
// progress window of a slow transfer, the module's own address and
// resources, code-page conversion and shared files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/secret_bytes.h"

namespace qel::platform {

// Button sets and answers carry the Win32 values (MB_OK, MB_OKCANCEL,
// MB_YESNOCANCEL, IDOK, IDCANCEL, IDYES, IDNO) so that the POSIX dialog seam
// speaks the same numbers.
enum class Buttons : unsigned int { Ok = 0, OkCancel = 1, YesNoCancel = 3 };
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;
// What messageBox returns when the system could not show the box at all
// (MessageBoxW's 0: no memory or no desktop for its window). The operator
// answered nothing; callers count it as no OK and may record it as such.
constexpr int kBoxNotShown = 0;

// Shows a modal message box owned by `owner` (the host's window handle) and
// returns the button pressed, or kBoxNotShown. No icon is shown, and the
// first button is the default. Both texts end with a NUL. An owner that is
// no longer a window (the host closed it during the transfer) gives a box
// without an owner: the question is asked all the same.
int messageBox(void* owner, const wchar_t* text, const wchar_t* caption, Buttons buttons);

// A box that warns before something that cannot be taken back: with the
// warning icon, and Cancel (the last button) as the default, so that Enter
// alone changes nothing. The POSIX seam receives MB_ICONWARNING and the
// MB_DEFBUTTON bits beside the buttons.
int warningBox(void* owner, const wchar_t* text, const wchar_t* caption, Buttons buttons);

namespace detail {
// The MB_ bits of a warning box beside its buttons: MB_ICONWARNING and the
// MB_DEFBUTTONn that makes its last button the default.
constexpr unsigned int warningStyle(Buttons buttons) {
  constexpr unsigned int kIconWarning = 0x30, kDefaultSecond = 0x100, kDefaultThird = 0x200;
  switch (buttons) {
    case Buttons::OkCancel:
      return kIconWarning | kDefaultSecond;
    case Buttons::YesNoCancel:
      return kIconWarning | kDefaultThird;
    case Buttons::Ok:
      break;
  }
  return kIconWarning;
}
}  // namespace detail

// While a transfer runs on the calling thread, the host's window must keep
// answering: the transfer calls keepTransferAlive at least every
// kTransferTurnMs, which gives the thread's messages a turn once that long
// has passed since the last one (so they wait at most about twice as long),
// and once the transfer has taken kProgressDelayMs a progress window owned
// by `owner` says that it is running (Windows: a captioned window without
// buttons over the owner's top-level window, inside the work area of its
// monitor). From the first turn on the transfer is modal as a message box
// is: the owner's top-level window is disabled before the first message is
// dispatched and enabled again before the window goes, and the thread's
// keyboard and mouse input is dropped, while its timers, paint and posted
// messages keep flowing. A transfer that ends within kTransferTurnMs
// dispatches no message and disables nothing; one that ends within
// kProgressDelayMs shows nothing. The window goes when the object goes,
// before anything else can show. The development library reports the
// window through its dialog seam instead (dialog_handler.h). A host message
// that calls into the library again runs that call to its end inside the
// turn, as inside a message box; its transfer has its own progress, and the
// outer transfer waits, its time limits running.
constexpr int kTransferTurnMs = 50;
constexpr int kProgressDelayMs = 500;

class TransferProgress {
 public:
  // The window's text for a transfer that has run `elapsedMs`.
  using Text = std::wstring (*)(std::int64_t elapsedMs);

  // `caption` must outlive the object.
  TransferProgress(void* owner, const wchar_t* caption, Text text);
  ~TransferProgress();
  TransferProgress(const TransferProgress&) = delete;
  TransferProgress& operator=(const TransferProgress&) = delete;

  // One turn: shows or updates the window when it is due, then dispatches
  // the messages waiting for the thread. Does nothing until kTransferTurnMs
  // have passed since the start or the last turn.
  void turn();

 private:
  void* owner_;
  const wchar_t* caption_;
  Text text_;
  std::int64_t started_;
  std::int64_t lastTurn_;
  std::wstring shownText_;
  bool turned_ = false;
  // The window that the first turn disabled (Windows: the owner's top-level
  // window), null for none.
  void* disabledOwner_ = nullptr;
  // The platform's window (Windows: its state; POSIX: what was reported).
  void* window_ = nullptr;
  // The progress of the call that this thread was in when this one began.
  TransferProgress* outer_;
};

// Gives the calling thread's innermost TransferProgress its turn, when it
// has one; otherwise does nothing.
void keepTransferAlive();

// One call of the host into the library, its questions included. A WM_QUIT
// that a transfer's turns take from the queue is kept while the outermost
// HostCall (or, without one, TransferProgress) of the thread lives and
// posted again when it goes, as a modal loop does: the questions after the
// transfer are still shown, and the host's loop ends after the call.
class HostCall {
 public:
  HostCall();
  ~HostCall();
  HostCall(const HostCall&) = delete;
  HostCall& operator=(const HostCall&) = delete;
};

// Milliseconds from a fixed point that does not move with the system clock,
// read through the system-call table.
std::int64_t steadyMilliseconds();

// The base address under which this library was mapped (its module handle),
// found from the memory region that holds the library's own code.
std::uintptr_t moduleBaseAddress();

// The system clock: milliseconds since 1970-01-01 00:00 UTC.
std::int64_t utcMilliseconds();

// A point in time on the computer's own clock face, in its time zone.
struct LocalTime {
  int year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  int hour = 0;
  int minute = 0;
};
// `unixMs` (milliseconds since 1970-01-01 00:00 UTC) in local time.
LocalTime localTime(std::int64_t unixMs);

// This process's id, which no other process running at the same time has.
std::uint32_t processId();

// Fills at most 256 bytes at `out` from the system's cryptographic random
// number generator; a system that gives none leaves them as they were.
void randomBytes(void* out, std::size_t size);

// Keeps this library mapped until the process ends, whatever the host
// unloads: code that started threads or global state which may outlive the
// current call (libcurl's resolver threads, Winsock) must not be unmapped
// under them. Returns false when the system refused; calling it again is
// harmless.
bool pinModule();

// True when the process runs under Wine rather than Windows; always false on
// POSIX. Wine's Schannel accepts any server certificate when it checks
// against the system's store, so such a check proves nothing there.
bool runsUnderWine();

// For its lifetime keeps the SIGPIPE that a write to a connection closed by
// its peer may raise on the calling thread away from the host, without
// changing the process's signal handlers, which other threads share. Windows
// has no such signal; there it does nothing.
class BrokenPipeShield {
 public:
  BrokenPipeShield();
  ~BrokenPipeShield();
  BrokenPipeShield(const BrokenPipeShield&) = delete;
  BrokenPipeShield& operator=(const BrokenPipeShield&) = delete;

 private:
  // The POSIX side keeps the thread's signal mask here (a sigset_t).
  alignas(8) unsigned char savedMask_[128];
  bool blocked_ = false;
  bool pendingBefore_ = false;
};

// The bytes of request template `id` (resource type "TEMPLATE") carried in
// this library. On failure returns nullopt and sets `lastError` to the
// system's error code of the failed lookup.
std::optional<std::string_view> findTemplate(std::uint16_t id, std::uint32_t& lastError);

// Text conversions. Invalid input never throws: invalid UTF-8 sequences become
// U+FFFD, unpaired surrogates are encoded as U+FFFD.
std::wstring utf8ToWide(std::string_view bytes);
std::string wideToUtf8(std::wstring_view text);
// A secret's UTF-8 bytes, with the conversion's own buffer wiped.
inline SecretBytes secretUtf8(std::wstring_view text) {
  std::string utf8 = wideToUtf8(text);
  SecretBytes secret(utf8.data(), utf8.size());
  wipeString(utf8);
  return secret;
}
// The calling thread's ANSI code page (Windows) or Windows-1252 (POSIX).
std::wstring ansiToWide(std::string_view bytes);
// True when `bytes` is well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// Files in the working folder, named in UTF-8, opened shared with other
// readers and writers and closed again before the call returns. Each does
// its job with one open, the fewest reads or writes it needs, and one close.
//
// How a whole-file read ended. Only regular files are read: a folder is an
// outcome of its own, which callers may count as a missing file, and pipes
// and devices are refused without being waited on.
enum class FileRead {
  Ok,          // The content was read.
  Missing,     // There is no such file.
  Folder,      // The name is a folder.
  NotOpened,   // The file exists but could not be opened (systemError says why).
  NotRegular,  // The name is a pipe, a device or the like.
  Failed,      // Reading the opened file failed (systemError says why).
  TooLarge,    // The file holds more than the bytes asked for at most.
};

struct FileReadResult {
  FileRead status;
  // errno (POSIX) or GetLastError (Windows) of the failed step for NotOpened
  // and Failed; 0 otherwise.
  std::uint32_t systemError;
};

// Reads the whole of `name` into `content` (left empty unless Ok), at most
// `maxBytes` of it: a larger file, by its size or by the bytes it gives, is
// TooLarge and never holds more than `maxBytes` + 1 bytes in memory. A file
// that another program holds locked is tried again for about a second.
FileReadResult readFile(const std::string& name, std::string& content, std::size_t maxBytes);

// What a name in the file system is, following links. A name that cannot be
// looked at counts as missing: whoever opens it next reports why.
enum class FileKind { Missing, Regular, Folder, Other };
FileKind fileKind(const std::string& name);

// The system's text for an error code (errno on POSIX, a Win32 error code on
// Windows), on one line and without the code itself.
std::wstring systemErrorText(std::uint32_t code);

// The files that the library writes in the working folder (the log, the
// trace and its older half, the journal) are plain files: opened without
// following a link, written only when they are regular files with one name,
// and changed only in place, never renamed, so that a site may grant write
// on these files alone and keep the folder read-only. Every writer takes the
// file's exclusive lock, every reader of a pair its shared one, across
// processes and threads; a lock that another holds is tried again for about
// a second (tried again kLockRetries times, kLockPauseMs apart), then the
// call gives up as for a file that cannot be written.
constexpr int kLockRetries = 20;
constexpr int kLockPauseMs = 50;

// How a write to a working-folder file ended.
enum class FileWrite {
  Ok,          // Everything was written.
  Locked,      // Another writer held the file for longer than the wait.
  NotOpened,   // The file could not be opened or created (systemError says why).
  NotRegular,  // The name is a folder, a link, a device or has a second name.
  Failed,      // Reading or writing the opened file failed (systemError says why).
  TooLarge,    // The file holds more than the bytes asked for at most.
};

struct FileWriteResult {
  FileWrite status;
  // errno (POSIX) or GetLastError (Windows) for NotOpened and Failed; 0
  // otherwise.
  std::uint32_t systemError;
  explicit operator bool() const { return status == FileWrite::Ok; }
};

// Appends `bytes` to `name`, created when missing, at the end of the file and
// whole or not at all: a write that fails part of the way (a full disk) is
// taken back to the file's length before it.
FileWriteResult appendToFile(const std::string& name, std::string_view bytes);

// Empties `name`, created when missing.
FileWriteResult truncateFile(const std::string& name);

// Appends `record` (one line with its line break) to `name`, created when
// missing, whole or not at all, and a file whose last line was cut off by
// an earlier crash gets a line break first, so that no record is ever
// joined to a broken one. When the record would take a file that holds
// anything past `limit` bytes, the file's content is first copied over
// `previous` (replacing it) and the file is emptied, both in place under
// the lock of `name`. Whatever fails, every line stays in one of the two
// files: a crash between the copy and the emptying leaves lines in both.
FileWriteResult appendRecord(const std::string& name, std::string_view record, std::uint64_t limit,
                             const std::string& previous);

// The two files of appendRecord read together under the writers' lock of
// `name` (shared with other readers), so that no rotation falls between
// them. Each file is read whole, at most `maxBytes` of it, as readFile does.
struct RecordFiles {
  std::string previous;
  std::string current;
  FileRead previousStatus;
  FileRead currentStatus;
  // True when a writer held the lock for longer than the wait and the files
  // were read all the same: a rotation may then show its lines twice or, in
  // the reader's view, not at all.
  bool unlocked;
};
RecordFiles readRecordFiles(const std::string& name, const std::string& previous, std::size_t maxBytes);

// Rewrites `name` (created when missing) under its writers' lock: `replace`
// is given the whole content and fills the new one, returning false to leave
// the file as it is. The new content is written over the old in place and
// the file cut to its length; a write that fails is undone by writing the
// old content back (a crash in the middle of the write may leave a mix of
// both). TooLarge when the file holds more than `maxBytes`.
using RecordReplacer = std::function<bool(std::string_view content, std::string& replacement)>;
FileWriteResult replaceRecords(const std::string& name, std::size_t maxBytes, const RecordReplacer& replace);

// The Windows Data Protection API (DPAPI). A secret protected for the
// computer can be decrypted by every user of that computer, one protected
// for the user by that user alone; neither anywhere else. `entropy` is the
// caller's own fixed value, needed again to decrypt. The POSIX side has no
// such service: dataProtectionAvailable() is false there and both calls fail
// with ENOSYS.
enum class ProtectionScope { Machine, User };
bool dataProtectionAvailable();

// Protects `secret` and gives the result as one line of Base64 text.
// `description` travels in the result unencrypted and comes back from
// unprotectText. False with `systemError` set when the system refused.
bool protectText(std::string_view secret, std::string_view entropy, const std::wstring& description,
                 ProtectionScope scope, std::string& base64, std::uint32_t& systemError);

// Decrypts the Base64 text of a protected secret into `secret`, with its
// description. False with `systemError` set when the text is not Base64 or
// cannot be decrypted here (protected on another computer, for another user
// or with another entropy, or changed since).
bool unprotectText(std::string_view base64, std::string_view entropy, SecretBytes& secret, std::wstring& description,
                   std::uint32_t& systemError);

}  // namespace qel::platform
