#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ (Debian's clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, in build-fuzz) and runs every one of them.
#   fuzz.sh [seconds]   each target for that long (default 60) with a random
#                       seed; new inputs and findings go to fuzz-out/<target>/
#   fuzz.sh --check     the test command's pass: replays the seed corpus and
#                       the regression inputs, then a fixed number of runs with
#                       a fixed seed per target (about 30 s each)
# Prints executions, executions per second and coverage per target; fails when
# any target finds a crash, a leak, a time-out or a broken invariant.
#
# Per target <name>: fuzz/<name>.dict (dictionary), fuzz/corpus/<name>/ (seed
# corpus), fuzz/regressions/<name>/ (inputs that once found a fault) and
# fuzz/<name>.options: libFuzzer flags, one per line ("-max_len=4096"), and
# "check_runs=N", the number of runs of the --check pass.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=random
seconds=60
case "${1:-}" in
--check) mode=check ;;
'') ;;
*[!0-9]* | 0)
  echo "usage: fuzz.sh [seconds] | fuzz.sh --check" >&2
  exit 2
  ;;
*) seconds=$1 ;;
esac

build="build-fuzz"
out=fuzz-out
check_seed=1
check_time_cap=120 # seconds: a safety net, normally not reached
default_check_runs=100000

scripts/install-deps.sh clang libclang-rt-14-dev

echo "== fuzz build ($build)"
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKS_SANITIZE="address;undefined;fuzzer-no-link" -DKS_TEST_HOOKS=ON -DKS_BUILD_FUZZERS=ON \
  -DKS_BUILD_TESTS=OFF -DKS_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target ks_fuzzers -j"$(nproc)"

# Findings are reported by libFuzzer itself; the sanitizers stop at the first.
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The libFuzzer flags of a target's options file, and its check_runs value.
target_flags() {
  [ -f "fuzz/$1.options" ] || return 0
  grep -E '^-' "fuzz/$1.options" || true
}
check_runs() {
  local runs=""
  [ -f "fuzz/$1.options" ] && runs=$(sed -n 's/^check_runs=\([0-9][0-9]*\)$/\1/p' "fuzz/$1.options")
  echo "${runs:-$default_check_runs}"
}

# "executions exec/s cov ft" from a libFuzzer log.
figures() {
  local log=$1 units speed cov ft
  units=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -Eo 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -Eo 'ft: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  echo "${units:-?} ${speed:-?} ${cov:-?} ${ft:-?}"
}

summary=()
failed=()
total=0
for source in fuzz/*.cc; do
  name=$(basename "$source" .cc)
  program="$build/fuzz/$name"
  work="$out/$name"
  mkdir -p "$work/artifacts"
  log="$work/$mode.log"
  regressions="fuzz/regressions/$name"
  mkdir -p "$regressions"

  flags=(-timeout=30 -rss_limit_mb=3072 -print_final_stats=1 -artifact_prefix="$work/artifacts/")
  [ -f "fuzz/$name.dict" ] && flags+=(-dict="fuzz/$name.dict")
  mapfile -t extra < <(target_flags "$name")
  flags+=("${extra[@]}")

  if [ "$mode" = check ]; then
    # A scratch folder first: libFuzzer writes new inputs to its first folder
    # only, so the committed corpus stays as it is.
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/ks-fuzz-$name.XXXXXX")
    flags+=(-seed="$check_seed" -runs="$(check_runs "$name")" -max_total_time="$check_time_cap")
    folders=("$scratch" "fuzz/corpus/$name" "$regressions")
  else
    mkdir -p "$work/corpus"
    scratch=""
    flags+=(-max_total_time="$seconds")
    folders=("$work/corpus" "fuzz/corpus/$name" "$regressions")
  fi

  echo "== $name ($mode)"
  status=0
  "$program" "${flags[@]}" "${folders[@]}" >"$log" 2>&1 || status=$?
  [ -z "$scratch" ] || rm -rf "$scratch"
  read -r units speed cov ft <<<"$(figures "$log")"
  summary+=("$(printf '%-28s %12s %10s %8s %8s' "$name" "$units" "$speed" "$cov" "$ft")")
  [[ $units =~ ^[0-9]+$ ]] && total=$((total + units))
  if [ "$status" -ne 0 ]; then
    failed+=("$name")
    echo "$name FAILED (exit $status): see $log; inputs in $work/artifacts/"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error|.*_fuzzer: )' "$log" | head -5 || true
  fi
done

echo
printf '%-28s %12s %10s %8s %8s\n' target executions exec/s cov ft
printf '%s\n' "${summary[@]}"
echo "executions over all targets: $total"
if [ ${#failed[@]} -gt 0 ]; then
  echo "Findings in: ${failed[*]} (a finding's input, once fixed, goes to fuzz/regressions/<target>/)"
  exit 1
fi
echo "No finding."
