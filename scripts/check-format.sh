#!/usr/bin/env bash
# Fails (exit 1) when a C++ file in src, tools, tests, bench or fuzz differs
# from what clang-format makes of it with the project's .clang-format, and
# lists those files. CLANG_FORMAT picks the binary (default clang-format-14,
# the Debian one the tree is formatted with).
set -euo pipefail
cd "$(dirname "$0")/.."
CLANG_FORMAT=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$CLANG_FORMAT" >/dev/null; then
  echo "check-format: $CLANG_FORMAT not found (apt-get install clang-format-14)" >&2
  exit 1
fi
# One clang-format run per batch of files, two at a time; it names each file
# that differs on stderr.
report=$(find src tools tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
  sort -z | xargs -0 -n 40 -P 2 "$CLANG_FORMAT" --dry-run -Werror 2>&1 >/dev/null || true)
files=$(printf '%s\n' "$report" | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' | sort -u)
if [ -n "$files" ]; then
  printf 'not formatted: %s\n' $files
  echo "check-format: $(printf '%s\n' $files | wc -l) file(s) differ; run: $CLANG_FORMAT -i <file>" >&2
  exit 1
fi
if [ -n "$report" ]; then
  printf '%s\n' "$report" >&2
  echo "check-format: $CLANG_FORMAT failed" >&2
  exit 1
fi
echo "check-format: all files formatted"
