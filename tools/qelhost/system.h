// What differs between the Linux and the Windows build of the command-line
// host beyond the box office kit: the terminal, the library's version, text
// encodings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace qel::qelhost {

// True when standard input is an interactive terminal.
bool standardInputIsTerminal();

// Before the calling thread blocks on standard input with a box on screen:
// makes sure that the box, the foreground window, is painted active, as on
// Windows (Wine draws a program's first box inactive without a window
// manager). Nothing on Linux.
void paintHeldBoxActive();

// The version that the library's file carries (Windows: the ProductVersion of
// its version resource; Linux: its "@(#)QelConnect" marker), read without
// loading it. Throws std::runtime_error when the file has none.
std::string libraryVersion(const std::filesystem::path& library);

// Host texts are in the ANSI code page (Windows-1252 on Linux, as the
// development library reads them); the terminal speaks UTF-8. The other way
// round, platform::ansiToWide and platform::wideToUtf8 serve.
std::string utf8ToHostText(const std::string& utf8);

}  // namespace qel::qelhost
