// The connector's settings as read from QelConnect.xml for every transaction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/config_warnings.h"

namespace qel {

struct ConnectorConfig {
  // A real configuration is a few hundred bytes. A larger file is refused
  // before it is parsed, so that reading any configuration stays well under
  // a second (parsing time grows with the size) and its memory bounded.
  static constexpr std::size_t kMaxFileBytes = std::size_t{8} << 20;

  std::wstring username;
  std::wstring password;
  // endpoint/protectedPassword, the Base64 text as written; when present,
  // `password` is empty and the password is decrypted from this text for
  // each transfer (config/protected_password.h).
  bool hasProtectedPassword = false;
  std::string protectedPassword;
  std::wstring url;
  bool hasCertSubject = false;
  std::wstring certSubject;
  bool oldkasse = false;
  std::int32_t oldkasseprefix = 0;
  // Optional PEM file of trusted certificates (endpoint/caFile); empty means
  // the system's trust store.
  std::wstring caFile;
  // The transaction trace (diagnostics/trace and diagnostics/traceBodies,
  // each on only when its text is exactly "1"): one line per transaction in
  // QelConnect.trace, with the request and response bodies when both are on.
  bool trace = false;
  bool traceBodies = false;
  // The text of each number and switch as the file gives it (UTF-8), by
  // element name (oldkasse, oldkasseprefix, trace, traceBodies); an element
  // that is not given is not here. qelhost check shows them beside the
  // values read.
  std::map<std::string, std::string> written;
  // Mistakes the reader forgave, in the order of the file's lines.
  std::vector<ConfigWarning> warnings;
  // The name the settings were read from, as given to loadFromFile, for
  // messages that arise later.
  std::string fileName;
  // The file was not UTF-8 (an editor saved it in the ANSI code page, such
  // as Windows-1252), so its text was read in the ANSI code page.
  bool readAsAnsi = false;

  // Reads `fileName` (UTF-8, relative to the working folder). Throws
  // VubException with the operator's message when the file is missing or
  // not well-formed, or when it has no `endpoint`/`url`; any other missing
  // element keeps its default. A non-empty `password` beside a
  // `protectedPassword`, and a `protectedPassword` where the system offers no
  // data protection (POSIX), are refused as well.
  void loadFromFile(const std::string& fileName);
};

}  // namespace qel
