#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang in build-fuzz/ and runs each on its corpus
# for the given number of seconds (default 60), two at a time. Fails on any finding: a
# crash, a sanitizer report, a broken property of the target, an input slower than
# 10 s or a leak. The input that caused it is saved as build-fuzz/findings/<target>-*;
# new inputs the fuzzer finds go to build-fuzz/corpus/<target>/, never into fuzz/corpus/.
#
#   scripts/fuzz.sh [seconds] [target...]     e.g. scripts/fuzz.sh 600 kml_reader
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(kml_reader ini_reader parameter_import point_name number_reader dxf_reader point_file_reader
           dem_reader)
fi
parallel=${FUZZ_PARALLEL:-2}

bash scripts/bootstrap.sh
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" \
  -DKELDARN_FUZZ=ON -DKELDARN_BUILD_TESTS=OFF -DKELDARN_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_targets --parallel "$(nproc)"

mkdir -p build-fuzz/findings build-fuzz/logs
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

run() {
  local target=$1
  local corpus=build-fuzz/corpus/$target
  local options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
                 -artifact_prefix="build-fuzz/findings/$target-")
  mkdir -p "$corpus"
  case $target in
    kml_reader) options+=(-dict=fuzz/dict/kml.dict -max_len=65536) ;;
    dxf_reader) options+=(-dict=fuzz/dict/dxf.dict -max_len=65536) ;;
    ini_reader) options+=(-dict=fuzz/dict/ini.dict) ;;
    dem_reader) options+=(-dict=fuzz/dict/vrt.dict -max_len=16384) ;;
  esac
  "build-fuzz/fuzz/fuzz_$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" \
    >"build-fuzz/logs/$target.log" 2>&1
}

# One line per target: executions, executions per second, result.
report() {
  local target=$1 status=$2 log=build-fuzz/logs/$1.log
  local runs speed
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  if [ "$status" -eq 0 ]; then
    printf '%-18s %12s runs %8s exec/s  no finding\n' "$target" "${runs:-?}" "${speed:-?}"
  else
    printf '%-18s %12s runs %8s exec/s  FINDING (exit %s), log build-fuzz/logs/%s.log:\n' \
      "$target" "${runs:-?}" "${speed:-?}" "$status" "$target"
    grep -E 'FINDING|ERROR|SUMMARY|Test unit written|runtime error' "$log" | head -20 || true
  fi
}

failed=0
for ((i = 0; i < ${#targets[@]}; i += parallel)); do
  batch=("${targets[@]:i:parallel}")
  pids=()
  for target in "${batch[@]}"; do
    run "$target" &
    pids+=($!)
  done
  for j in "${!batch[@]}"; do
    status=0
    wait "${pids[$j]}" || status=$?
    report "${batch[$j]}" "$status"
    [ "$status" -eq 0 ] || failed=1
  done
done
exit "$failed"
