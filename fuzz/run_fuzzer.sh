#!/usr/bin/env bash
# Runs one fuzz target for a bounded time and reports what it did.
#
#   run_fuzzer.sh <fuzzer> <seed corpus> <work folder> <seconds> [libFuzzer options...]
#
# New inputs go to <work folder>/corpus/<fuzzer> (the seed corpus in the repository is only
# read); a crashing input is kept in <work folder>/artifacts/<fuzzer>/. HARVANE_FUZZ_SECONDS,
# when set, replaces <seconds> (make fuzz-long).
set -uo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=${HARVANE_FUZZ_SECONDS:-$4}
shift 4
name=$(basename "$fuzzer")
corpus=$work/corpus/$name
artifacts=$work/artifacts/$name
log=$work/$name.log
mkdir -p "$corpus" "$artifacts"

"$fuzzer" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" "$@" \
  "$corpus" "$seeds" >"$log" 2>&1
status=$?

if [ $status -ne 0 ]; then
  tail -n 60 "$log"
  echo "$name: FAILED (exit $status); the input that failed is kept in $artifacts/:"
  ls -1t "$artifacts" | head -n 3 | sed "s|^|  $artifacts/|"
  exit 1
fi
executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
per_second=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
files=$(find "$corpus" "$seeds" -type f | wc -l)
bytes=$(find "$corpus" "$seeds" -type f -printf '%s\n' | awk '{ s += $1 } END { print s + 0 }')
# libFuzzer's own account of the corpus it holds (inputs/bytes) and the edges covered.
held=$(grep -o 'corp: [0-9]*/[0-9]*[a-zA-Z]*' "$log" | tail -n 1)
coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1)
echo "$name: ${seconds} s, $executions executions ($per_second/s), $coverage, $held; on disk $files inputs, $bytes bytes"
