#include "cli/Cli.h"

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <fmt/format.h>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "cli/OpenDatabase.h"
#include "cli/PageAddress.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"

namespace quillmark::cli {
namespace {

struct Options {
  std::string file;
  std::string page;
  bool json = false;
  bool hex = false;
  bool quiet = false;
};

CLI::App* AddCommand(CLI::App& app, const char* name, const char* about, Options& options) {
  CLI::App* command = app.add_subcommand(name, about);
  command->add_option("FILE", options.file, "the data file (.mdf)")->required();
  command->add_flag("--quiet", options.quiet, "draw no progress bar while the file is mapped");
  return command;
}

void AddPageArgument(CLI::App& command, Options& options) {
  command.add_option("PAGE", options.page, "page number N, or FILEID:N")->required();
}

// Messages can hold line breaks; an error here is always one line.
std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// CLI11 reports a misspelt command as a missing one; name the word instead.
std::string ParseErrorText(const CLI::App& app, const CLI::ParseError& error, int argc, const char* const* argv) {
  if (app.get_subcommands().empty() && argc > 1 && argv[1][0] != '-')
    return fmt::format("unknown command '{}': expected info, page or iam", argv[1]);
  return OneLine(error.what());
}

// The bar is drawn only where a person watches: stderr itself, on a terminal.
std::unique_ptr<ProgressBar> ProgressFor(std::ostream& err, bool quiet) {
  if (quiet || &err != &std::cerr || !isatty(STDERR_FILENO)) return nullptr;
  return std::make_unique<ProgressBar>(err);
}

PageId PageArgument(const std::string& text) {
  auto page = ParsePageAddress(text);
  if (!page) throw CliError("invalid page '" + text + "': expected N or FILEID:N, for example 9 or 1:9");
  return *page;
}

}  // namespace

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App app{"Reads SQL Server data files (.mdf) page by page, without a server.", "quillmark-cli"};
  app.require_subcommand(1);
  Options options;
  CLI::App* info = AddCommand(app, "info", "version, database name, collation and page map of a file", options);
  info->add_flag("--json", options.json, "print one JSON object");
  CLI::App* page = AddCommand(app, "page", "a page's header, slots and records", options);
  AddPageArgument(*page, options);
  page->add_flag("--hex", options.hex, "add a hex dump of the page");
  CLI::App* iam = AddCommand(app, "iam", "an IAM page's header, single pages and extents", options);
  AddPageArgument(*iam, options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success&) {
    out << app.help();
    return 0;
  } catch (const CLI::ParseError& error) {
    err << "quillmark-cli: " << ParseErrorText(app, error, argc, argv) << "\n";
    return 1;
  }

  try {
    std::optional<PageId> pageId;
    if (!info->parsed()) pageId = PageArgument(options.page);
    ResetSettings();
    LoadCollationList();
    auto progress = ProgressFor(err, options.quiet);
    auto db = OpenDatabase(options.file, progress.get());
    if (info->parsed()) InfoCommand(*db, options.json, out);
    if (page->parsed()) PageCommand(*db, *pageId, options.hex, out);
    if (iam->parsed()) IamCommand(*db, *pageId, out);
  } catch (const std::exception& error) {
    err << "quillmark-cli: " << OneLine(error.what()) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace quillmark::cli
