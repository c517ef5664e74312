#!/usr/bin/env bash
# A short tour of quillmark-cli on the demo database, or on a real database file.
# Usage: tools/tour.sh <path-to-quillmark-cli> <fixtures-folder> [demo.mdf]
set -euo pipefail

usage="usage: tools/tour.sh <path-to-quillmark-cli> <fixtures-folder> [demo.mdf]"
cli="${1:?$usage}"
folder="${2:?$usage}"
demo="${3:-}"

if [[ ! -x "$cli" ]]; then
  echo "quillmark-cli not found at $cli (run: make release)" >&2
  exit 1
fi

# Shows each command as it could be typed, table names with blanks quoted.
run() {
  printf '\n$ quillmark-cli'
  printf ' %q' "$@"
  printf '\n\n'
  "$cli" "$@"
}

# The first 20 rows of every user table; a table that cannot be read does not
# end the tour.
rows_tour() {
  local table
  while IFS= read -r table; do
    run rows "$1" "$table" --limit 20 || printf '(the rows of %s could not be read)\n' "$table"
  done < <("$cli" objects "$1" --user-tables)
}

# The catalog of a file: its objects as the object tree groups them, and the
# column pairs of its foreign keys as the system tables hold them.
catalog_tour() {
  run objects "$1"
  run catalog "$1" fkcolumns
}

# The bundled demo database comes first: scanned as the window scans it (the
# log file goes to a folder of the tour's own), then a table, a view and the
# rest of the commands.
if [[ -n "$demo" && -f "$demo" ]]; then
  logs="$(mktemp -d)"
  trap 'rm -rf "$logs"' EXIT
  run scan "$demo" --log-folder "$logs"
  run show "$demo" "User Tables/Customers" --log-folder "$logs"
  run show "$demo" "Views/OrderTotals" --log-folder "$logs"
  run info "$demo"
  run objects "$demo"
  rows_tour "$demo"
  run definition "$demo" OrderTotals
  run definition "$demo" GetCustomerOrders
  exit 0
fi

if [[ ! -d "$folder" ]]; then
  cat <<HELP
No database files at $folder.

Point quillmark-cli at any SQL Server data file (.mdf):

  $cli scan /path/to/database.mdf
  $cli show /path/to/database.mdf "User Tables/TABLE"
  $cli info /path/to/database.mdf
  $cli info /path/to/database.mdf --json
  $cli objects /path/to/database.mdf
  $cli rows /path/to/database.mdf TABLE --limit 20
  $cli definitions /path/to/database.mdf
  $cli catalog /path/to/database.mdf columns
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

run info "$file"
catalog_tour "$file"
run page "$file" "$data_page"
if [[ -n "$iam_page" ]]; then
  run iam "$file" "$iam_page"
else
  printf '\n(no known IAM page in %s: try quillmark-cli iam %s N with a page whose m_type is 10)\n' "$file" "$file"
fi
rows_tour "$file"
