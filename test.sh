#!/usr/bin/env bash
# Builds Keldarn and runs the whole test suite: the normal build (build/) with every test,
# then the same tests built with AddressSanitizer and UndefinedBehaviorSanitizer
# (build-asan/, see scripts/test-sanitizers.sh). "./test.sh --no-sanitizers" runs the
# first part only.
set -euo pipefail
cd "$(dirname "$0")"
bash scripts/build.sh
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)")
if [ "${1:-}" != "--no-sanitizers" ]; then
  bash scripts/test-sanitizers.sh
fi
