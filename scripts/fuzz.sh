#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and runs each for SECONDS (default 60), one at
# a time, starting from its committed corpus; then the long runs (ctest label long) in the
# sanitized build. Exits non-zero when any target finds a crash, a leak, a timeout or a broken
# property (the input is saved under <build>/run/<target>/findings/), or a long run fails.
# Environment: ZAQ_FUZZ_BUILD (build directory, default build-fuzz), ZAQ_FUZZ_ONLY (one target),
# ZAQ_FUZZ_LONG=0 (no long runs), ZAQ_ASAN_BUILD (the sanitized build, default build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build="${ZAQ_FUZZ_BUILD:-build-fuzz}"
if ! command -v clang++ >/dev/null 2>&1; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq clang >/dev/null
fi
scripts/deps.sh
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAQ_BUILD_FUZZ=ON \
  -DZAQ_BUILD_TESTS=OFF -DZAQ_BUILD_APPS=ON -DZAQ_BUILD_BENCHMARKS=OFF >/dev/null
targets=()
for src in fuzz/fuzz_*.cpp; do
  name="$(basename "$src" .cpp)"
  [ -z "${ZAQ_FUZZ_ONLY:-}" ] || [ "$name" = "fuzz_${ZAQ_FUZZ_ONLY#fuzz_}" ] || continue
  targets+=("$name")
done
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null
build="$(cd "$build" && pwd)" seeds="$(pwd)/fuzz/corpus"
status=0
for name in "${targets[@]}"; do
  corpus="${name#fuzz_}"
  run="$build/run/$corpus"
  rm -rf "$run/findings"  # this run's findings only
  mkdir -p "$run/corpus" "$run/findings"
  echo "== $name: $seconds s"
  # New inputs go to the build's corpus; the committed seeds are only read. One job on one core
  # (the machine is shared); libFuzzer writes the job's output to fuzz-0.log where it runs.
  if ! (cd "$run" && "$build/fuzz/$name" "$run/corpus" "$seeds/$corpus" \
      -max_total_time="$seconds" -jobs=1 -workers=1 -timeout=10 -rss_limit_mb=4096 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="$run/findings/" >runner.log 2>&1) ||
      ls "$run/findings/" | grep -q .; then
    echo "$name: FINDING (see $run/fuzz-0.log and $run/findings/)" >&2
    status=1
  fi
  grep -E "^#[0-9]+[[:space:]]+DONE" "$run/fuzz-0.log" | tail -1 || true
done
if [ "${ZAQ_FUZZ_LONG:-1}" != 0 ]; then
  asan="${ZAQ_ASAN_BUILD:-build-asan}"
  echo "== long runs, sanitized ($asan)"
  cmake -S . -B "$asan" -DCMAKE_BUILD_TYPE=Debug -DZAQ_SANITIZE=ON -DZAQ_BUILD_TESTS=ON \
    -DZAQ_BUILD_PYTHON=OFF >/dev/null
  cmake --build "$asan" -j2 --target zaq_tool >/dev/null
  (cd "$asan" && ctest -L long --output-on-failure) || status=1
fi
exit "$status"
