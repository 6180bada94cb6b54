#!/usr/bin/env bash
# The test suite once more, built with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/ (debug information, -O1, no benchmarks), then the tests of the multi-threaded
# terrain readers built with ThreadSanitizer in build-tsan/. Any report of a sanitizer fails
# the run, even one from a process whose exit status nobody looks at: reports are also
# written to build-asan/sanitizer-reports/, which must stay empty. Tests labelled "long"
# (the large generated files) and "e2e" (the real program under a real X server, whose
# libraries are not ours) are left out here; the normal run of test.sh has them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DKELDARN_SANITIZE=ON -DKELDARN_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan --parallel "$(nproc)"

reports="$PWD/build-asan/sanitizer-reports"
rm -rf "$reports"
mkdir -p "$reports"
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1:log_path=$reports/asan"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:log_path=$reports/ubsan"
export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

status=0
(cd build-asan && ctest --output-on-failure --parallel "$(nproc)" --label-exclude 'long|e2e') || status=$?

# ThreadSanitizer over the tests of what reads terrain on several threads: raster/, survey/,
# keldarn-cli and the thread-determinism tests, in build-tsan/ with only their targets.
# tests/sanitizers/tsan.supp may name system libraries, never our own code.
tsan_tests=(raster_tests survey_sampling_tests survey_profile_tests survey_contour_tests cli_tests
            determinism_tests)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DKELDARN_TSAN=ON -DKELDARN_BUILD_BENCH=OFF >/dev/null
cmake --build build-tsan --parallel "$(nproc)" --target "${tsan_tests[@]}"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/sanitizers/tsan.supp:log_path=$reports/tsan"
for test in "${tsan_tests[@]}"; do
  echo "ThreadSanitizer: $test"
  (cd build-tsan/tests && "./$test" --gtest_brief=1) || status=1
done

if compgen -G "$reports/*" >/dev/null; then
  echo "Sanitizer reports:" >&2
  cat "$reports"/* >&2
  status=1
fi
exit "$status"
