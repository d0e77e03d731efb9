#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tool need (idempotent).
set -euo pipefail
packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev liberfa-dev libcli11-dev
          gnuplot-nox clang-format libboost-dev nlohmann-json3-dev
          # the Python package (for /usr/bin/python3), its tests and its example
          python3-dev pybind11-dev python3-numpy python3-pytest python3-erfa python3-distributed
          python3-matplotlib)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq "${missing[@]}"
