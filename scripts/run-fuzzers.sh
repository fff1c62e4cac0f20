#!/usr/bin/env bash
# Builds the fuzz targets (preset "fuzz", clang) and runs each over its seed
# corpus in fuzz/corpus/<name>/ for an equal share of TOTAL_SECONDS (default 80).
# The seeds, including the inputs of every crash found so far, run first; new
# inputs found on the way go to a scratch folder, crash inputs to
# build-fuzz/crashes/. Fails when any target crashes or breaks an invariant.
#
#   scripts/run-fuzzers.sh [TOTAL_SECONDS] [TARGET...]
#   scripts/run-fuzzers.sh --build-only [JOBS]
set -euo pipefail
cd "$(dirname "$0")/.."

build_only=0
jobs=2
if [ "${1:-}" = "--build-only" ]; then
  build_only=1
  jobs=${2:-2}
  set --
fi

total=${1:-80}
shift || true
if ! [[ "$total" =~ ^[0-9]+$ ]] || [ "$total" -lt 1 ]; then
  echo "usage: $0 [TOTAL_SECONDS] [TARGET...]" >&2
  exit 2
fi

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake --preset fuzz "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz
[ "$build_only" -eq 0 ] || exit 0

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi
per=$(( total / ${#targets[@]} ))
[ "$per" -ge 1 ] || per=1

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p build-fuzz/crashes
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
for t in "${targets[@]}"; do
  exe=build-fuzz/fuzz/fuzz_$t
  if [ ! -x "$exe" ]; then
    echo "run-fuzzers: no target $t" >&2
    failed+=("$t")
    continue
  fi
  mkdir -p "$scratch/$t"
  log=$scratch/$t.log
  if "$exe" "$scratch/$t" "fuzz/corpus/$t" -max_total_time="$per" -timeout=10 -rss_limit_mb=2048 \
       -max_len=65536 -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$t-" >"$log" 2>&1; then
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    echo "run-fuzzers: $t ok (${per} s, ${execs:-?} runs, cov ${cov:-?}, ft ${ft:-?})"
  else
    echo "run-fuzzers: $t FAILED; its log:"
    tail -60 "$log"
    failed+=("$t")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "run-fuzzers: failed: ${failed[*]} (inputs in build-fuzz/crashes/)"
  exit 1
fi
echo "run-fuzzers: all ${#targets[@]} targets ran ${per} s each without a crash"
