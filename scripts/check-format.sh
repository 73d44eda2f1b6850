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
bad=0
while IFS= read -r -d '' f; do
  if ! "$CLANG_FORMAT" --dry-run -Werror "$f" >/dev/null 2>&1; then
    echo "not formatted: $f"
    bad=$((bad + 1))
  fi
done < <(find src tools tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
if [ "$bad" -ne 0 ]; then
  echo "check-format: $bad file(s) differ; run: $CLANG_FORMAT -i <file>" >&2
  exit 1
fi
echo "check-format: all files formatted"
