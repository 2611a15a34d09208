// qelhost verify: the installed library as the box office would find it,
// loaded, without a sale and without sending anything.
#pragma once

#include <filesystem>
#include <ostream>

namespace qel::qelhost {

// Reads the version from `library`'s file, loads it and looks up each of
// its thirteen exports, writing one line each to `out`. Throws
// std::runtime_error (the loader's words) when it has no version, cannot be
// loaded or lacks an export; calls nothing in it.
void verifyLibrary(const std::filesystem::path& library, std::ostream& out);

}  // namespace qel::qelhost
