#!/usr/bin/env bash
# Builds the library and runs the whole test suite, then once more under the sanitizers
# (address and undefined behaviour) unless ZAQ_SKIP_SANITIZE=1.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs="$(nproc)"
run_suite() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAQ_BUILD_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j"$jobs" >/dev/null
  (cd "$dir" && ctest -j"$jobs" --output-on-failure --timeout 600)
}
run_suite build
if [ "${ZAQ_SKIP_SANITIZE:-0}" != 1 ]; then
  echo "== sanitized build (address, undefined) =="
  run_suite build-asan -DZAQ_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
fi
