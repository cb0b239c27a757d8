#!/usr/bin/env bash
# Checks that every C++ file of the tree is in the house style (.clang-format).
# With --fix, formats them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
cf=$(command -v clang-format-14 || command -v clang-format)
mapfile -t files < <(git ls-files --cached --others --exclude-standard '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  printf '%s\0' "${files[@]}" | xargs -0 -n 64 -P "$(nproc)" "$cf" -i
  exit 0
fi
if printf '%s\0' "${files[@]}" | xargs -0 -n 64 -P "$(nproc)" "$cf" --dry-run -Werror 2>/tmp/check-format.$$; then
  rm -f /tmp/check-format.$$
  echo "check-format: all ${#files[@]} files are in the house style"; exit 0
fi
head -n 60 /tmp/check-format.$$; rm -f /tmp/check-format.$$
echo "check-format: the files above are not in the house style; run scripts/check-format.sh --fix"
exit 1
