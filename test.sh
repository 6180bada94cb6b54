#!/usr/bin/env bash
# Builds Keldarn and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/build.sh
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)"
