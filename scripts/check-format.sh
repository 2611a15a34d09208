#!/usr/bin/env bash
# Checks that every C++ source in git is formatted as .clang-format says,
# with the clang-format release the project installs (formatting differs
# between releases). Prints the files that are not; fix them with
#   scripts/check-format.sh --fix
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
format=clang-format-14
command -v "$format" >/dev/null || { echo "check-format: $format is missing (make deps)" >&2; exit 1; }

mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
  exit 0
fi
"$format" --dry-run -Werror "${files[@]}"
