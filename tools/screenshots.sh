#!/usr/bin/env bash
# Pictures of the window (quillmark --screenshot) for the README: the demo
# database scanned, a table's rows, a definition, and the open dialog.
# Needs a display; run it under xvfb-run for pictures of a fixed size:
#   xvfb-run -a -s "-screen 0 1600x1000x24" tools/screenshots.sh <quillmark> <demo.mdf> <fixtures> <out-folder>
# A real file missing from <fixtures> is skipped; any picture that fails ends
# the script with status 1.
set -euo pipefail

usage="usage: tools/screenshots.sh <quillmark> <demo.mdf> <fixtures-folder> <output-folder>"
quillmark="${1:?$usage}"
demo="${2:?$usage}"
fixtures="${3:?$usage}"
out="${4:?$usage}"
mkdir -p "$out"

# A folder of the run's own for the log files, the instance lock and the stored look.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config"
chmod 700 "$work"

failed=0
shot() {
  local picture="$1"
  shift
  printf 'quillmark %s --screenshot %s\n' "$*" "$out/$picture"
  if ! "$quillmark" "$@" --log-folder "$work" --screenshot "$out/$picture" 2>"$work/stderr"; then
    echo "  failed:" >&2
    cat "$work/stderr" >&2
    failed=1
  fi
}

shot window-scan.png "$demo"
shot window-rows.png "$demo" --select "User Tables/Orders"
shot window-definition.png "$demo" --select "Views/OrderTotals"
northwind="$fixtures/sql2008r2_northwind.mdf"
if [[ -f "$northwind" ]]; then
  shot window-northwind-rows.png "$northwind" --select "User Tables/Order Details"
  shot window-northwind-procedure.png "$northwind" --select "Store Procedure/CustOrderHist"
fi
printf 'quillmark %s --dialog-screenshot %s\n' "$demo" "$out/open-dialog.png"
"$quillmark" "$demo" --log-folder "$work" --dialog-screenshot "$out/open-dialog.png" || failed=1
exit "$failed"
