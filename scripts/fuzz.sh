#!/usr/bin/env bash
# A fuzzing campaign: builds the fuzz preset, then runs every fuzz target for SECONDS each
# (default 60), one after the other, under AddressSanitizer and UndefinedBehaviorSanitizer.
# Each target keeps its corpus in build/fuzz/<name>_work (grown from run to run; the committed
# seeds are only read) and its log in build/fuzz/<name>.log; a crash leaves its input in
# build/fuzz/<name>_crashes/. Prints runs and coverage per target and exits non-zero when any
# target found something.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]     e.g. scripts/fuzz.sh 900 fuzz_ini fuzz_numbers
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
build="$PWD/build/fuzz"  # absolute: a target may change its working folder
# Leaks of the libraries, not ours to mend (see the file).
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)" >/dev/null
list="$build/fuzz/targets.txt"

failed=0
printf '%-16s %12s %8s %8s  %s\n' target runs cov ft result
while IFS='|' read -r name seeds options; do
  [ -n "$name" ] || continue
  if [ "$#" -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$name"; then continue; fi
  work="$build/${name}_work"
  crashes="$build/${name}_crashes"
  log="$build/$name.log"
  mkdir -p "$work" "$crashes"
  IFS=';' read -r -a seed_dirs <<<"$seeds"
  IFS=';' read -r -a extra <<<"$options"
  result=ok
  if ! "$build/fuzz/$name" "$work" "${seed_dirs[@]}" "${extra[@]}" -max_total_time="$seconds" \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" >"$log" 2>&1; then
    result="FOUND (see $log)"
    failed=1
  fi
  # The last status line of libFuzzer: "#RUNS DONE cov: C ft: F ..." (or the last progress line).
  last="$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
  cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")"
  ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")"
  printf '%-16s %12s %8s %8s  %s\n' "$name" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$result"
done <"$list"
exit "$failed"
