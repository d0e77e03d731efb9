#!/usr/bin/env bash
# Checks the formatting of the tracked sources, builds the library and runs the whole test suite,
# then once more under the sanitizers (address and undefined behaviour) unless ZAQ_SKIP_SANITIZE=1.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
# Every tracked C++ source as clang-format writes it with the repository's .clang-format.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror ||
    { echo "formatting differs: run clang-format -i on the files above" >&2; exit 1; }
fi
jobs="$(nproc)"
run_suite() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAQ_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
  # The runs labelled long are scripts/fuzz.sh's.
  (cd "$dir" && ctest -j"$jobs" --output-on-failure --timeout 600 -LE long)
}
run_suite build
if [ "${ZAQ_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== sanitized build (address, undefined) =="
  # The Python package is left out: a sanitized extension cannot load into Debian's interpreter.
  run_suite build-asan -DZAQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DZAQ_BUILD_PYTHON=OFF
fi
