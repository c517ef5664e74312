#!/usr/bin/env bash
# A short tour of quillmark-cli on a real database file.
# Usage: tools/tour.sh <path-to-quillmark-cli> <fixtures-folder>
set -euo pipefail

cli="${1:?usage: tools/tour.sh <path-to-quillmark-cli> <fixtures-folder>}"
folder="${2:?usage: tools/tour.sh <path-to-quillmark-cli> <fixtures-folder>}"

if [[ ! -x "$cli" ]]; then
  echo "quillmark-cli not found at $cli (run: make release)" >&2
  exit 1
fi

if [[ ! -d "$folder" ]]; then
  cat <<HELP
No database files at $folder.

Point quillmark-cli at any SQL Server data file (.mdf):

  $cli info /path/to/database.mdf
  $cli info /path/to/database.mdf --json
  $cli page /path/to/database.mdf 9
  $cli iam /path/to/database.mdf 1:N      (N: an IAM page, m_type = 10)

or run the tour on a folder of them: make run FIXTURES=/path/to/folder
HELP
  exit 0
fi

# In sql2014_pubs.mdf, page 311 holds the rows of pub_info, whose text and
# image columns live in the allocation unit mapped by the IAM page 309.
file="$folder/sql2014_pubs.mdf"
data_page=311
iam_page=309
if [[ ! -f "$file" ]]; then
  file="$(find "$folder" -maxdepth 1 -name '*.mdf' | sort | head -n 1 || true)"
  data_page=9  # the boot page: every primary data file has one
  iam_page=""
fi
if [[ -z "$file" ]]; then
  echo "No .mdf file in $folder."
  exit 0
fi

run() {
  printf '\n$ quillmark-cli %s\n\n' "$*"
  "$cli" "$@"
}

run info "$file"
run page "$file" "$data_page"
if [[ -n "$iam_page" ]]; then
  run iam "$file" "$iam_page"
else
  printf '\n(no known IAM page in %s: try quillmark-cli iam %s N with a page whose m_type is 10)\n' "$file" "$file"
fi
