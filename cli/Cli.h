// quillmark-cli: reads a SQL Server data file and prints what its pages hold.
//
//   quillmark-cli scan FILE [--advanced] [--log-folder DIR]
//   quillmark-cli show FILE PATH [--advanced] [--log-folder DIR] [--page N] [--csv OUT] [--verbose]
//   quillmark-cli info FILE [--json]
//   quillmark-cli page FILE PAGE [--hex]
//   quillmark-cli iam  FILE PAGE
//   quillmark-cli objects FILE [--json | --user-tables]
//   quillmark-cli catalog FILE LIST [--json]
//   quillmark-cli columns FILE TABLE [--json]
//   quillmark-cli rows FILE TABLE [--format text|csv|jsonl] [--all] [--advanced] [--offset N] [--limit N]
//   quillmark-cli export FILE TABLE --format csv|jsonl OUT [--advanced]
//   quillmark-cli definition FILE NAME
//   quillmark-cli definitions FILE [--json]
//   quillmark-cli keyscript FILE TABLE KEY
//   quillmark-cli snapshot save FILE SNAPSHOT
//   quillmark-cli snapshot load SNAPSHOT [--json | --tree] [--quiet]
//
// Every command that opens FILE also takes --quiet, --deleted,
// --advanced-deleted, --collation ID and --ansi-codepage N. scan, show, rows,
// export and snapshot drive the shell as the window does: the open dialog
// (where --collation must be an id of the collation list), clicks on tree
// items, Next Records, and the CSV export and snapshot commands.
#pragma once

#include <ostream>

namespace quillmark::cli {

// Runs one command line. Reports go to `out`; an error is one line on `err`
// and the result 1. `--help` prints the help to `out` and returns 0.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace quillmark::cli
