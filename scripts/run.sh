#!/usr/bin/env bash
# Builds the zaq tool and runs its main job on the built-in solar system.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZAQ_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target zaq_tool >/dev/null
build/apps/zaq --version
build/apps/zaq ephem Moon --ref Earth
build/apps/zaq ephem Mars --ref Sun
