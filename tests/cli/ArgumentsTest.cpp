#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

TEST(CliArguments, BadPageNumbersAreRefusedBeforeTheFileIsRead) {
  BuiltDatabase db(FileBuilder::MinimalDatabase());
  for (const char* command : {"page", "iam"})
    for (const char* page : {"abc", "1:", "-3", ":9", "0:9", "1:2:3", "9x", "99999999999", "70000:1"}) {
      SCOPED_TRACE(std::string(command) + " " + page);
      ExpectOneLineError(RunCommand({command, db.path(), page}), std::string("invalid page '") + page + "'");
    }
}

TEST(CliArguments, UsageMistakesEndWithOneLine) {
  BuiltDatabase db(FileBuilder::MinimalDatabase());
  struct Case {
    std::vector<std::string> args;
    std::string text;
  };
  for (const Case& c : {Case{{}, "A subcommand is required"},
                        Case{{"pages", db.path()}, "unknown command 'pages'"},
                        Case{{"info"}, "FILE is required"},
                        Case{{"page", db.path()}, "PAGE is required"},
                        Case{{"info", db.path(), "--hex"}, "--hex"},
                        Case{{"info", db.path(), "extra"}, "extra"}}) {
    SCOPED_TRACE(c.text);
    ExpectOneLineError(RunCommand(c.args), c.text);
  }
}

TEST(CliArguments, HelpGoesToStdoutAndSucceeds) {
  struct Case {
    std::vector<std::string> args;
    std::string text;
  };
  for (const Case& c : {Case{{"--help"}, "info"}, Case{{"page", "--help"}, "--hex"}, Case{{"info", "-h"}, "--json"}}) {
    CliRun run = RunCommand(c.args);
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find(c.text), std::string::npos) << run.out;
  }
}

// Progress is drawn only on a terminal: a command writing to any other stream
// leaves it untouched, even on success.
TEST(CliArguments, NoProgressWhenStderrIsNotATerminal) {
  BuiltDatabase db(FileBuilder::MinimalDatabase());
  CliRun run = RunCommand({"info", db.path()});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace quillmark::testing
