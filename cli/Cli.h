// quillmark-cli: reads a SQL Server data file and prints what its pages hold.
//
//   quillmark-cli info FILE [--json]
//   quillmark-cli page FILE PAGE [--hex]
//   quillmark-cli iam  FILE PAGE
//   quillmark-cli objects FILE [--json | --user-tables]
//   quillmark-cli catalog FILE LIST [--json]
//   quillmark-cli columns FILE TABLE [--json]
//   quillmark-cli rows FILE TABLE [--format text|csv|jsonl] [--offset N] [--limit N]
//   quillmark-cli definition FILE NAME
//   quillmark-cli definitions FILE [--json]
//   quillmark-cli keyscript FILE TABLE KEY
//   quillmark-cli snapshot save FILE SNAPSHOT
//   quillmark-cli snapshot load SNAPSHOT [--json] [--quiet]
//
// Every command that opens FILE also takes --quiet, --deleted,
// --advanced-deleted, --collation ID and --ansi-codepage N.
#pragma once

#include <ostream>

namespace quillmark::cli {

// Runs one command line. Reports go to `out`; an error is one line on `err`
// and the result 1. `--help` prints the help to `out` and returns 0.
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace quillmark::cli
