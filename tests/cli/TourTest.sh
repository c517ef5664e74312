#!/usr/bin/env bash
# Takes the tour of `make run` and checks that it showed the rows of its tables
# and met no error. Usage: TourTest.sh <tour.sh> <quillmark-cli> <fixtures-folder> [demo.mdf]
set -euo pipefail
tour="$1"
shift
if [[ -n "${QUILLMARK_FIXTURES:-}" ]]; then set -- "$1" "$QUILLMARK_FIXTURES" "${@:3}"; fi
if [[ ! -d "$2" && ! -f "${3:-}" && "${CI:-}" != true ]]; then
  echo "TourTest: no real files and no demo database: skipped"
  exit 77
fi
out="$(bash "$tour" "$@" 2>&1)"
printf '%s\n' "$out"
grep -q '^\$ quillmark-cli rows .* --limit 20$' <<<"$out" || { echo "TourTest: no rows shown"; exit 1; }
if [[ -f "${3:-}" ]]; then
  grep -q '^Scanning completed for selected mdf file\.$' <<<"$out" || { echo "TourTest: no completed scan"; exit 1; }
  grep -q '^Page1 - \[[0-9]*\](1-[0-9]*) Records$' <<<"$out" || { echo "TourTest: no page of rows shown"; exit 1; }
  grep -q '^CREATE VIEW ' <<<"$out" || { echo "TourTest: no view definition shown"; exit 1; }
  grep -q '^CREATE PROCEDURE ' <<<"$out" || { echo "TourTest: no procedure definition shown"; exit 1; }
fi
if grep -q '^quillmark-cli: \|could not be read' <<<"$out"; then
  echo "TourTest: the tour met an error"
  exit 1
fi
