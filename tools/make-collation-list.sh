#!/bin/sh
# Writes data/collation.txt (name, tab, collation id, tab, code page) from the
# tab-separated list of SQL Server collations.
# Usage: tools/make-collation-list.sh ../shared/data/sql-collations.tsv > data/collation.txt
set -eu
awk -F'\t' '
  /^#/ { next }
  $1 == "name" && $2 == "collation_id" { next }
  NF >= 3 && $1 != "" { printf "%s\t%s\t%s\n", $1, $2, $3 }
' "${1:?path of sql-collations.tsv}"
