#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (one at a time) over its seeds: the
# seed corpora are cut first (from FIXTURES when the folder exists), each
# target's corpus grows in BUILD/corpus/<target>. A crash, leak, timeout or
# memory overrun fails the run and leaves the input in BUILD/findings/<target>.
#
#   tests/fuzz/run.sh BUILD SECONDS [FIXTURES] [TARGET...]
set -euo pipefail
build=$1
seconds=$2
fixtures=${3:-}
shift $(( $# < 3 ? $# : 3 ))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(page large_value xml rows catalog)

seeds="$build/seeds"
rm -rf "$seeds"
ASAN_OPTIONS=detect_leaks=0 "$build/bin/quillmark-fuzz-seeds" "$seeds" "$fixtures" >/dev/null

status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  mkdir -p "$corpus" "$findings" "$seeds/$target"
  log="$build/fuzz_$target.log"
  # Inputs up to 48 pages (the catalog target's); a single run over 30 s or
  # 2 GB is a finding.
  if ASAN_OPTIONS=detect_leaks=1 "$build/bin/fuzz_$target" -max_total_time="$seconds" -max_len=400000 \
      -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
      "$corpus" "$seeds/$target" >"$log" 2>&1; then
    result=passed
  else
    result=FAILED
    status=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
  coverage=$(grep -E '^#[0-9]+' "$log" | tail -1 | grep -o 'cov: [0-9]* ft: [0-9]*' || echo 'cov: ?')
  echo "fuzz_$target: $result, $runs runs in ${seconds}s, $coverage (log: $log)"
  [ $result = passed ] || tail -40 "$log"
done
exit $status
