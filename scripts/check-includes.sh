#!/usr/bin/env bash
# Checks that the library's folders depend only downwards and that each
# folder's CMake target links exactly the folders it includes.
#
#   scripts/check-includes.sh [source root]
#
# The layers, lowest first: platform < base < order = config < render <
# transport < host < tools. A library folder may include "x/..." only from
# its own folder or a lower layer; order/ and config/ share a layer and may
# not include each other. tools/, tests/, bench/ and fuzz/ may include
# anything and are not checked. A folder's CMakeLists.txt must name in
# target_link_libraries the qel_ target of every other folder it includes,
# and no other.
set -euo pipefail

root=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
cd "$root"

declare -A rank=([platform]=0 [base]=1 [order]=2 [config]=2 [render]=3 [transport]=4 [host]=5
                 [tools]=6 [tests]=7 [bench]=7 [fuzz]=7)
library_folders=(platform base order config render transport host)
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

for folder in "${library_folders[@]}"; do
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
