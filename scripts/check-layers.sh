#!/usr/bin/env bash
# Checks the floors of src/: a folder includes only from the folders listed
# before it in src/CMakeLists.txt (app/, listed last, is the wiring on top), so
# no two folders ever include each other. Prints each include that breaks it.
set -euo pipefail
cd "$(dirname "$0")/.."
read -r -a floors < <(sed -n 's/^foreach(dir \(.*\))$/\1/p' src/CMakeLists.txt)
[ ${#floors[@]} -gt 0 ] || { echo "layers: no folder list in src/CMakeLists.txt" >&2; exit 2; }
declare -A rank
for i in "${!floors[@]}"; do rank[${floors[$i]}]=$i; done

bad=0
for folder in "${floors[@]}"; do
  while IFS=: read -r file line target; do
    [ -n "${rank[$target]+x}" ] || continue # a library's header, not one of ours
    if [ "$target" != "$folder" ] && [ "${rank[$target]}" -gt "${rank[$folder]}" ]; then
      echo "$file:$line: src/$folder includes from $target/, a floor above it" >&2
      bad=1
    fi
  done < <(grep -rnoE '^#include "[a-z_]+/' "src/$folder" | sed -E 's/#include "([a-z_]+)\/$/\1/')
done
[ "$bad" = 0 ] && echo "layers: ${floors[*]}"
exit "$bad"
