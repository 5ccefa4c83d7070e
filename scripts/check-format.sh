#!/usr/bin/env bash
# Fails when a tracked C or C++ source differs from clang-format's output (.clang-format at the top).
# Lists the files; `clang-format -i FILE...` mends them.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || scripts/deps.sh
mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
unformatted=()
for source in "${sources[@]}"; do
  clang-format --dry-run --Werror "$source" >/dev/null 2>&1 || unformatted+=("$source")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "Not formatted with $(clang-format --version):" >&2
  printf '  %s\n' "${unformatted[@]}" >&2
  exit 1
fi
echo "All ${#sources[@]} sources are formatted."
