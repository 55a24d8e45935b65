#!/usr/bin/env bash
# Fails when a C or C++ source of the tree (tracked or not yet added; build
# directories and ignored files excluded) differs from what clang-format makes
# of it with the root .clang-format. Lists the offending files. Fix them with
#   clang-format -i <file>...
set -euo pipefail
cd "$(dirname "$0")/.."
CLANG_FORMAT="${CLANG_FORMAT:-clang-format}"
command -v "$CLANG_FORMAT" >/dev/null || { echo "check-format: $CLANG_FORMAT not found" >&2; exit 2; }

list_sources() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard -- \
      '*.c' '*.cc' '*.cpp' '*.h' '*.hpp'
  else
    find . \( -path './build*' -o -path './.git' \) -prune -o -type f \
      \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.h' -o -name '*.hpp' \) \
      -print0
  fi
}

checked=0
flagged=()
while IFS= read -r -d '' file; do
  file="${file#./}"
  case "$file" in build*/*) continue ;; esac
  [ -f "$file" ] || continue  # tracked but deleted in the work tree
  checked=$((checked + 1))
  if ! "$CLANG_FORMAT" --dry-run --Werror "$file" >/dev/null 2>&1; then
    flagged+=("$file")
  fi
done < <(list_sources)

if [ "${#flagged[@]}" -ne 0 ]; then
  echo "check-format: ${#flagged[@]} of $checked files need clang-format:" >&2
  printf '  %s\n' "${flagged[@]}" >&2
  exit 1
fi
echo "check-format: $checked files formatted"
