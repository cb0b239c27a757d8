#!/usr/bin/env bash
# Checks that every C++ line changed since the house style was adopted is in
# that style (.clang-format). With --fix, formats those lines in place.
set -euo pipefail
cd "$(dirname "$0")/.."
base=$(git log --diff-filter=A --format=%H -- .clang-format | tail -n 1)
[ -n "$base" ] || { echo "check-format: .clang-format is not committed"; exit 2; }
cf=$(command -v clang-format-14 || command -v clang-format)
if [ "${1:-}" = "--fix" ]; then
  git clang-format --force --binary "$cf" --extensions cpp,h "$base" -- || true
  exit 0
fi
out=$(git clang-format --binary "$cf" --extensions cpp,h --diff "$base" -- 2>&1 || true)
case "$out" in
  ""|*"no modified files to format"*|*"did not modify any files"*)
    echo "check-format: changed lines are in the house style"; exit 0 ;;
esac
echo "$out"
echo "check-format: the lines above are not in the house style; run scripts/check-format.sh --fix"
exit 1
