#!/usr/bin/env bash
# Makes the README's pictures in docs/ from the zaq tool's real output. Takes the tool's path
# (default: build-tool/apps/zaq, as scripts/run.sh builds it); the CSVs are not kept.
set -euo pipefail
cd "$(dirname "$0")/.."
zaq=$(realpath "${1:-build-tool/apps/zaq}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(
  cd "$work"
  "$zaq" fly Earth --alt 400 --inc 51.6 --start 2026-01-01 --days 1 --out fly-earth >/dev/null
  "$zaq" transfer Earth Moon --depart 2026-11-20 --arrive 2026-11-23 --thrust 1e5 --isp 448.67 \
    --mass 4e4 --plot transfer-earth-moon.png >/dev/null
  "$zaq" porkchop Earth Mars --depart-range 2026-09-01 2027-01-31 --tof-range 120 400 \
    --out porkchop-earth-mars-2026 >/dev/null
  "$zaq" porkchop Earth Mars --depart-range 2028-10-01 2029-02-28 --tof-range 120 400 \
    --out porkchop-earth-mars-2028 >/dev/null
)
mkdir -p docs
cp "$work"/*.png docs/
ls docs/*.png
