#!/usr/bin/env bash
# Checks that every folder depends only downwards and that each library
# folder's CMake target links exactly the folders it includes.
#
#   scripts/check-includes.sh [source root]
#
# The layers, lowest first: platform < base < order = config < render <
# transport < host < boxoffice = kit < tools < harness < tests < bench = fuzz
# (the test harnesses use the tools' help layout; the benchmarks and fuzzers
# the tests' sample answers). A folder
# may include "x/..." only from its own folder or a lower layer; folders of
# one layer may not include each other. Every top folder that holds C++
# sources must have a layer. A library folder's CMakeLists.txt must name in
# target_link_libraries the qel_ target of every other folder it includes,
# and no other.
set -euo pipefail

root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root"

declare -A rank=([platform]=0 [base]=1 [order]=2 [config]=2 [render]=3 [transport]=4 [host]=5
                 [boxoffice]=6 [kit]=6 [tools]=7 [harness]=8 [tests]=9 [bench]=10 [fuzz]=10)
library_folders=(platform base order config render transport host)
checked_folders=("${library_folders[@]}" boxoffice kit tools harness tests bench fuzz)
failed=0

fail() {
  echo "check-includes: $*" >&2
  failed=1
}

# The qel_ targets named in the folder's target_link_libraries calls, other
# than the folder's own.
linked_folders() {
  awk '/target_link_libraries\(/ { on = 1 } on { print } on && /\)/ { on = 0 }' "$1/CMakeLists.txt" |
    grep -o 'qel_[a-z0-9_]*' | sed 's/^qel_//' | grep -vx "$1" | sort -u || true
}

for folder in $(find . \( -path ./build -o -path ./.git \) -prune -o \( -name '*.cpp' -o -name '*.h' \) -print |
                grep '^\./[^/]*/' | cut -d/ -f2 | sort -u); do
  [[ -n ${rank[$folder]+set} ]] || fail "$folder/ holds sources but has no layer"
done

for folder in "${checked_folders[@]}"; do
  used=()
  while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    target=${rest#*\"}
    target=${target%%/*}
    [[ -n ${rank[$target]+set} && $target != "$folder" ]] || continue
    used+=("$target")
    if (( rank[$target] >= rank[$folder] )); then
      fail "$file:$line: $folder/ may not include $target/ (it is not below $folder/)"
    fi
  done < <(grep -rn --include='*.h' --include='*.cpp' --include='*.in' \
             -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^"/]+/' "$folder" || true)

  [[ " ${library_folders[*]} " == *" $folder "* ]] || continue
  included=$(printf '%s\n' "${used[@]}" | grep -v '^$' | sort -u || true)
  linked=$(linked_folders "$folder")
  for target in $(comm -23 <(echo "$included") <(echo "$linked")); do
    fail "$folder/CMakeLists.txt: $folder/ includes $target/ but does not link qel_$target"
  done
  for target in $(comm -13 <(echo "$included") <(echo "$linked")); do
    fail "$folder/CMakeLists.txt: links qel_$target but includes nothing from $target/"
  done
done

exit $failed
