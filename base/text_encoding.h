// Text files as editors on Windows save them: with or without a byte-order
// mark, in UTF-8, UTF-16 or the ANSI code page.
#pragma once

#include <string>

namespace qel {

// The content as UTF-8, decoded by its byte-order mark (UTF-8, UTF-16
// little- or big-endian; an odd last byte of UTF-16 is no character and is
// dropped). Without a mark the bytes are returned as they are.
std::string decodeByteOrderMark(std::string content);

// Markup text whose values may be in two encodings: each run between "<"
// and ">" (a value, a name, a comment) that is valid UTF-8 stays as it is,
// each other run is read in the ANSI code page. `ansiRuns` is set when one
// was. The delimiters are single bytes in every ANSI code page.
std::string decodeMixedRuns(const std::string& content, bool& ansiRuns);

}  // namespace qel
