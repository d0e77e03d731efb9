#!/usr/bin/env bash
# Builds the zaq tool and runs its main job on the built-in solar system.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-tool -DCMAKE_BUILD_TYPE=Release -DZAQ_BUILD_TESTS=OFF >/dev/null
cmake --build build-tool -j"$(nproc)" --target zaq_tool >/dev/null
build-tool/apps/zaq transfer Earth Mars --depart 2026-11-14 --arrive 2027-08-01
