#!/usr/bin/env bash
# Installs what Ostrane needs, builds it and runs it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja
cmake --build build -j2 --target ostrane
exec build/ostrane "$@"
