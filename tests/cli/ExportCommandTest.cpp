// The streaming export: every real table comes out with the rows and texts the
// record listing shows, in csv, jsonl, SQLite and T-SQL; the schema command;
// what a failed or stopped export leaves behind.
#include <fmt/format.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/ShellSession.h"
#include "cli/TableExport.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "builder/DatabaseBuilder.h"
#include "tests/cli/CliTest.h"

namespace quillmark::testing {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

std::string ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ExportCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quillmark-export-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    files_ = pattern;
  }
  void TearDown() override {
    std::error_code error;
    fs::remove_all(files_, error);
  }
  fs::path files_;
};

// Collects the rows the streaming path hands over, as UTF-8 texts.
class CollectingSink : public RowSink {
 public:
  bool Row(const std::vector<const std::u16string*>& values) override {
    std::vector<std::string> row;
    for (const std::u16string* value : values) row.push_back(platform::Utf16ToUtf8(*value));
    rows.push_back(std::move(row));
    return true;
  }
  Rows rows;
};

// Both the listing (page by page through the records list, Next Records until
// it is disabled) and the streaming path, in the listing's large-value texts
// and in Advanced Mode too: the same rows in the same order.
TEST_F(ExportCommand, StreamGivesTheListingsRowsForEveryRealTable) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const fs::path& fixture : RealFixtureFiles()) {
    for (const bool advanced : {false, true}) {
      SCOPED_TRACE(fixture.filename().string() + (advanced ? " advanced" : ""));
      ResetSettings();
      std::ostringstream err;
      cli::ShellSession session(err, nullptr);
      const cli::PrivateFolder logs;
      app::ScanOptions scan;
      scan.file = fixture.string();
      scan.advanced = advanced;
      cli::TableExporter exporter(session, cli::WithPrivateLog(scan, logs), nullptr);
      for (const std::string& table : exporter.UserTables()) {
        SCOPED_TRACE(table);
        exporter.Select(table);
        Rows listed;
        session.ForEachRow(true, [&](const std::vector<std::string>& cells) {
          listed.push_back(cells);
          return true;
        });
        CollectingSink sink;
        StreamOptions options;
        options.advanced = advanced ? 1 : 0;
        options.largeValues = LargeValueTexts::kPlaceholders;
        const StreamResult result = StreamTableRows(exporter.Catalog(), options, sink);
        EXPECT_EQ(sink.rows, listed);
        EXPECT_EQ(result.rows, listed.size());
        EXPECT_EQ(result.unreadablePages, 0u);
        // Whole values: the same rows and texts, a large value whole where the listing shows a placeholder.
        if (advanced) continue;
        CollectingSink whole;
        options.largeValues = LargeValueTexts::kWhole;
        StreamTableRows(exporter.Catalog(), options, whole);
        ASSERT_EQ(whole.rows.size(), listed.size());
        for (std::size_t r = 0; r < listed.size(); ++r) {
          ASSERT_EQ(whole.rows[r].size(), listed[r].size());
          for (std::size_t c = 0; c < listed[r].size(); ++c) {
            if (listed[r][c] == "<BINARY DATA>" || listed[r][c] == "<BIG BINARY DATA>") continue;
            EXPECT_EQ(whole.rows[r][c], listed[r][c]) << "row " << r << " column " << c;
          }
        }
      }
    }
  }
}

// The value of a SQLite cell as the csv shows it.
std::string SqliteText(sqlite3_stmt* row, int column) {
  switch (sqlite3_column_type(row, column)) {
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_BLOB: {
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(row, column));
      std::string hex = "0x";
      for (int i = 0; i < sqlite3_column_bytes(row, column); ++i) hex += fmt::format("{:02X}", bytes[i]);
      return hex;
    }
    default: {
      const auto* text = sqlite3_column_text(row, column);
      return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
                  : std::string();
    }
  }
}

// A csv cell as the SQLite file holds it: bit as 1 or 0, bytes in capitals.
std::string AsStored(const std::string& cell, int type) {
  if (cell == "True" && type == SQLITE_INTEGER) return "1";
  if (cell == "False" && type == SQLITE_INTEGER) return "0";
  if (type == SQLITE_BLOB) {
    std::string hex = cell.rfind("0x", 0) == 0 ? cell : "0x" + cell;
    std::transform(hex.begin() + 2, hex.end(), hex.begin() + 2, [](char c) { return static_cast<char>(std::toupper(c)); });
    return hex;
  }
  return cell;
}

Rows SqliteRows(sqlite3* db, const std::string& table, std::vector<int>& types) {
  Rows rows;
  sqlite3_stmt* select = nullptr;
  std::string quoted = table;
  const std::string sql = "SELECT * FROM \"" + quoted + "\" ORDER BY rowid";
  EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &select, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
  types.clear();
  while (select && sqlite3_step(select) == SQLITE_ROW) {
    std::vector<std::string> row;
    for (int i = 0; i < sqlite3_column_count(select); ++i) {
      row.push_back(SqliteText(select, i));
      types.push_back(sqlite3_column_type(select, i));
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(select);
  return rows;
}

// Every batch of a script: the text between GO lines.
std::vector<std::string> Batches(const std::string& script) {
  std::vector<std::string> batches;
  std::size_t at = 0;
  for (std::size_t end; (end = script.find("\nGO\n", at)) != std::string::npos; at = end + 4)
    batches.push_back(script.substr(at, end - at));
  EXPECT_EQ(at, script.size()) << "the script ends in a GO line";
  return batches;
}

// The quotes of a T-SQL batch pair up: strings, [names] and comments closed.
bool QuotesBalanced(const std::string& batch) {
  enum { kCode, kString, kName, kLineComment, kBlockComment } state = kCode;
  for (std::size_t i = 0; i < batch.size(); ++i) {
    const char c = batch[i];
    const char next = i + 1 < batch.size() ? batch[i + 1] : '\0';
    switch (state) {
      case kCode:
        if (c == '\'') state = kString;
        if (c == '[') state = kName;
        if (c == '-' && next == '-') state = kLineComment;
        if (c == '/' && next == '*') state = kBlockComment, ++i;
        break;
      case kString:
        if (c == '\'' && next == '\'') ++i;
        else if (c == '\'') state = kCode;
        break;
      case kName:
        if (c == ']' && next == ']') ++i;
        else if (c == ']') state = kCode;
        break;
      case kLineComment:
        if (c == '\n') state = kCode;
        break;
      case kBlockComment:
        if (c == '*' && next == '/') state = kCode, ++i;
        break;
    }
  }
  return state == kCode || state == kLineComment;
}

TEST_F(ExportCommand, EveryFormatOfEveryRealDatabaseHoldsTheRowsOfRowsAll) {
  QM_REQUIRE_REAL_FIXTURES();
  for (const fs::path& fixture : RealFixtureFiles()) {
    const std::string file = fixture.string();
    const std::string stem = fixture.stem().string();
    SCOPED_TRACE(stem);
    const fs::path csvFolder = files_ / (stem + "-csv");
    const fs::path jsonFolder = files_ / (stem + "-jsonl");
    const fs::path database = files_ / (stem + ".db");
    const fs::path script = files_ / (stem + ".sql");
    for (const auto& [out, format] : std::vector<std::pair<fs::path, std::string>>{
             {csvFolder, "csv"}, {jsonFolder, "jsonl"}, {database, ""}, {script, ""}}) {
      std::vector<std::string> args{"export", file, "--all-tables", out.string()};
      if (!format.empty()) args.insert(args.end(), {"--format", format});
      const CliRun run = RunCommand(args);
      ASSERT_EQ(run.code, 0) << run.err;
      if (out == database)
        EXPECT_TRUE(run.err.empty() || run.err.find("which is not declared") != std::string::npos) << run.err;
      else
        EXPECT_EQ(run.err, "");
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(database.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    const CliRun names = RunCommand({"objects", file, "--user-tables"});
    std::istringstream tables(names.out);
    for (std::string table; std::getline(tables, table);) {
      SCOPED_TRACE(table);
      const CliRun rows = RunCommand({"rows", file, table, "--all", "--format", "csv"});
      ASSERT_EQ(rows.code, 0) << rows.err;
      std::string safe;
      for (const char c : table)
        safe += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_' || c == '.' ||
                 static_cast<unsigned char>(c) >= 0x80)
                    ? c
                    : '_';
      EXPECT_EQ(ReadBytes(csvFolder / (safe + ".csv")), rows.out);
      const Rows csv = ParseCsv(rows.out);
      ASSERT_FALSE(csv.empty());
      // The jsonl file holds the same texts, a JSON array per line.
      Rows json;
      std::istringstream lines(ReadBytes(jsonFolder / (safe + ".jsonl")));
      for (std::string line; std::getline(lines, line);)
        json.push_back(nlohmann::json::parse(line).get<std::vector<std::string>>());
      EXPECT_EQ(json, csv);
      std::vector<int> types;
      const Rows stored = SqliteRows(db, table, types);
      ASSERT_EQ(stored.size() + 1, csv.size());
      for (std::size_t r = 0; r < stored.size(); ++r) {
        ASSERT_EQ(stored[r].size(), csv[r + 1].size());
        for (std::size_t c = 0; c < stored[r].size(); ++c) {
          const int type = types[r * stored[r].size() + c];
          // float and real are stored as the double their text reads as.
          if (type == SQLITE_FLOAT)
            EXPECT_EQ(std::stod(stored[r][c]), std::stod(csv[r + 1][c])) << "row " << r << " column " << csv[0][c];
          else
            EXPECT_EQ(stored[r][c], AsStored(csv[r + 1][c], type)) << "row " << r << " column " << csv[0][c];
        }
      }
    }
    sqlite3_close(db);

    // The script: complete statements, each table created before its rows and its foreign keys.
    std::map<std::string, std::size_t> created;
    const std::vector<std::string> batches = Batches(ReadBytes(script));
    for (std::size_t b = 0; b < batches.size(); ++b) {
      const std::string& batch = batches[b];
      EXPECT_TRUE(QuotesBalanced(batch)) << batch.substr(0, 300);
      if (batch.rfind("CREATE TABLE ", 0) == 0) {
        created[batch.substr(13, batch.find(" (") - 13)] = b;
        EXPECT_EQ(batch.substr(batch.size() - 2), ");");
      }
      for (const char* statement : {"INSERT INTO ", "ALTER TABLE "}) {
        if (batch.rfind(statement, 0) != 0) continue;
        const std::size_t start = std::string(statement).size();
        const std::string name = batch.substr(start, batch.find("] ", start) + 1 - start);
        EXPECT_TRUE(created.count(name)) << batch.substr(0, 200);
        EXPECT_EQ(batch.back(), ';');
      }
    }
  }
}

TEST_F(ExportCommand, SchemaOfPubsDeclaresTitlesWithItsTypesDefaultAndForeignKey) {
  QM_REQUIRE_REAL_FIXTURES();
  const CliRun run = RunCommand({"schema", RealFixture("sql2014_pubs.mdf").string()});
  ASSERT_EQ(run.code, 0) << run.err;
  const std::size_t titles = run.out.find("CREATE TABLE [dbo].[titles] (\n");
  ASSERT_NE(titles, std::string::npos) << run.out;
  const std::string table = run.out.substr(titles, run.out.find("\nGO\n", titles) - titles);
  EXPECT_NE(table.find("\n  [price] money NULL,\n"), std::string::npos) << table;
  EXPECT_NE(table.find("\n  [pubdate] datetime NOT NULL CONSTRAINT [DF__titles__pubdate__1B0907CE] DEFAULT (getdate()),\n"),
            std::string::npos)
      << table;
  EXPECT_NE(table.find("[title_id] varchar(6) NOT NULL"), std::string::npos);
  EXPECT_NE(table.find("PRIMARY KEY ([title_id])"), std::string::npos);
  EXPECT_NE(run.out.find("ALTER TABLE [dbo].[titles] ADD CONSTRAINT [FK__titles__pub_id__1A14E395] FOREIGN KEY "
                         "([pub_id]) REFERENCES [dbo].[publishers] ([pub_id]);"),
            std::string::npos);
  EXPECT_LT(titles, run.out.find("ALTER TABLE [dbo].[titles]"));
  EXPECT_NE(run.out.find("[job_id] smallint IDENTITY(1,1) NOT NULL"), std::string::npos);
  EXPECT_EQ(run.out.find("INSERT INTO"), std::string::npos);
  // Views after the tables, triggers last.
  EXPECT_LT(run.out.find("ALTER TABLE"), run.out.find("-- View titleview\n"));
  EXPECT_LT(run.out.find("-- View titleview\n"), run.out.find("-- Trigger employee_insupd\n"));

  const CliRun sqlite = RunCommand({"schema", RealFixture("sql2014_pubs.mdf").string(), "--format", "sqlite"});
  ASSERT_EQ(sqlite.code, 0) << sqlite.err;
  EXPECT_NE(sqlite.out.find("CREATE TABLE \"titles\" (\"title_id\" TEXT NOT NULL, \"title\" TEXT NOT NULL, \"type\" "
                            "TEXT NOT NULL, \"pub_id\" TEXT, \"price\" TEXT, \"advance\" TEXT, \"royalty\" INTEGER, "
                            "\"ytd_sales\" INTEGER, \"notes\" TEXT, \"pubdate\" TEXT NOT NULL, PRIMARY KEY (\"title_id\"));"),
            std::string::npos)
      << sqlite.out;
}

TEST_F(ExportCommand, SqliteKeepsTypesNullsBytesAndExactDecimals) {
  QM_REQUIRE_REAL_FIXTURES();
  const fs::path out = files_ / "pubs.sqlite";
  const CliRun run = RunCommand({"export", RealFixture("sql2014_pubs.mdf").string(), "--all-tables", out.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open_v2(out.string().c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  struct Case {
    std::string sql;
    std::string expected;
  };
  const Case cases[] = {
      {"SELECT typeof(price) || ':' || price FROM titles WHERE title_id = 'BU1032'", "text:19.9900"},
      {"SELECT typeof(price) FROM titles WHERE title_id = 'MC3026'", "null"},
      {"SELECT typeof(royalty) || ':' || royalty FROM titles WHERE title_id = 'BU1032'", "integer:10"},
      {"SELECT typeof(contract) || ':' || contract FROM authors WHERE au_id = '172-32-1176'", "integer:1"},
      {"SELECT typeof(logo) || ':' || hex(substr(logo, 1, 4)) FROM pub_info WHERE pub_id = '0736'", "blob:47494638"},
      {"SELECT pubdate FROM titles WHERE title_id = 'BU1032'", "1991-06-12 00:00:00"},
      {"SELECT count(*) FROM quillmark_modules WHERE type = 'View' AND name = 'titleview'", "1"},
      {"SELECT count(*) FROM pragma_table_info('titles') WHERE name = 'title_id' AND pk = 1 AND \"notnull\" = 1", "1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sql);
    sqlite3_stmt* select = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, c.sql.c_str(), -1, &select, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    ASSERT_EQ(sqlite3_step(select), SQLITE_ROW);
    const auto* text = sqlite3_column_text(select, 0);
    EXPECT_EQ(text ? std::string(reinterpret_cast<const char*>(text)) : "", c.expected);
    sqlite3_finalize(select);
  }
  sqlite3_close(db);
}

TEST_F(ExportCommand, FormatComesFromTheExtensionAndBadRequestsSayWhatFailed) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::string pubs = RealFixture("sql2014_pubs.mdf").string();
  const fs::path csv = files_ / "sales.csv";
  const CliRun run = RunCommand({"export", pubs, "sales", csv.string()});
  ASSERT_EQ(run.code, 0) << run.err;
  EXPECT_EQ(run.out, "21 rows written to " + csv.string() + "\n");
  EXPECT_EQ(ReadBytes(csv), RunCommand({"rows", pubs, "sales", "--all", "--format", "csv"}).out);

  ExpectOneLineError(RunCommand({"export", pubs, "sales", (files_ / "sales.txt").string()}), "no format for");
  ExpectOneLineError(RunCommand({"export", pubs, "nosuch", (files_ / "n.db").string()}), "no table named 'nosuch'");
  EXPECT_FALSE(fs::exists(files_ / "n.db"));
  ExpectOneLineError(RunCommand({"export", pubs, "sales", (files_ / "no" / "s.db").string()}),
                     "cannot be written");
  // A device that cannot take the output stays where it is.
  if (fs::is_character_file("/dev/full")) {
    for (const char* format : {"sql", "csv", "sqlite"}) {
      SCOPED_TRACE(format);
      const CliRun full = RunCommand({"export", pubs, "titles", "/dev/full", "--format", format});
      EXPECT_EQ(full.code, 1);
      EXPECT_NE(full.err.find("table 'titles': "), std::string::npos) << full.err;
      EXPECT_TRUE(fs::is_character_file("/dev/full"));
    }
    ExpectOneLineError(RunCommand({"export", pubs, "titles", "/dev/full", "--format", "sql"}),
                       "table 'titles': writing '/dev/full' failed: No space left on device");
  }
  ExpectOneLineError(RunCommand({"export", pubs, "--all-tables"}), "export needs TABLE and OUT");
}

// Ctrl+C between rows: the table's stream ends with an error naming the table.
TEST_F(ExportCommand, CtrlCEndsTheTablesStreamWithAnError) {
  QM_REQUIRE_REAL_FIXTURES();
  ResetSettings();
  std::ostringstream err;
  cli::ShellSession session(err, nullptr);
  const cli::PrivateFolder logs;
  app::ScanOptions scan;
  scan.file = RealFixture("sql2008r2_northwind.mdf").string();
  cli::TableExporter exporter(session, cli::WithPrivateLog(scan, logs), nullptr);
  const cli::InterruptScope interrupts;
  std::ostringstream out;
  cli::RowTextWriter writer("csv", out);
  const cli::ExportedTable table = exporter.Select("Orders");
  int pages = 0;
  try {
    exporter.Stream(table, writer, [&] {
      if (++pages == 1) std::raise(SIGINT);
    });
    ADD_FAILURE() << "the stream went on after Ctrl+C";
  } catch (const cli::CliError& error) {
    EXPECT_EQ(std::string(error.what()), "table 'Orders': stopped by Ctrl+C");
  }
  EXPECT_EQ(pages, 1);
  cli::ClearInterrupt();
  ResetSettings();
}

// A directory export stopped after a table: the tables written so far stay and
// are named, the one being written is removed. The reader of the FIFO that
// stands for Orders.csv presses Ctrl+C as the file's bytes arrive.
TEST_F(ExportCommand, AStoppedDirectoryExportSaysWhichTablesAreComplete) {
  QM_REQUIRE_REAL_FIXTURES();
  const fs::path folder = files_ / "northwind";
  fs::create_directories(folder);
  const fs::path orders = folder / "Orders.csv";
  ASSERT_EQ(mkfifo(orders.c_str(), 0600), 0);
  std::string read;
  std::thread reader([&] {
    std::ifstream in(orders, std::ios::binary);
    char buffer[4096];
    bool pressed = false;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      read.append(buffer, static_cast<std::size_t>(in.gcount()));
      if (!pressed) std::raise(SIGINT);
      pressed = true;
    }
  });
  const CliRun run = RunCommand(
      {"export", RealFixture("sql2008r2_northwind.mdf").string(), "--all-tables", folder.string(), "--format", "csv"});
  reader.join();
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(read.rfind("OrderID,CustomerID,", 0), 0u);
  EXPECT_NE(run.err.find("complete: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find((folder / "Orders.csv").string() + "\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find((folder / "Customers.csv").string() + " "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("table 'Products': stopped by Ctrl+C"), std::string::npos) << run.err;
  EXPECT_TRUE(fs::exists(folder / "Customers.csv"));
  EXPECT_FALSE(fs::exists(folder / "Products.csv"));
  ResetSettings();
}

}  // namespace
}  // namespace quillmark::testing

namespace quillmark::testing {
namespace {

// A page in the middle of a table that no longer reads as a data page costs
// its rows only: the rest come out, the count of unreadable pages is reported
// on stderr, and the exit code says the output is not whole.
TEST_F(ExportCommand, ADamagedPageCostsItsRowsOnly) {
  DatabaseSpec spec;
  spec.name = "Damaged";
  std::vector<Row> rows;
  for (int i = 1; i <= 3000; ++i) rows.push_back({i, "row " + std::to_string(i)});
  spec.AddTable("Items", {Int("Id").NotNull(), VarChar("Name", 30)}, std::move(rows));
  const fs::path file = spec.Write(files_, "damaged.mdf").primary;
  const std::string path = file.string();

  const CliRun whole = RunCommand({"rows", path, "Items", "--all", "--format", "csv"});
  ASSERT_EQ(whole.code, 0) << whole.err;
  const Rows before = ParseCsv(whole.out);
  ASSERT_EQ(before.size(), 3001u);

  // The table's data pages are the file's last data pages: overwrite one of the middle ones.
  std::string bytes = ReadBytes(file);
  std::vector<std::size_t> dataPages;
  for (std::size_t at = 0; at + 8192 <= bytes.size(); at += 8192)
    if (bytes[at + 1] == 1) dataPages.push_back(at);
  ASSERT_GT(dataPages.size(), 10u);
  const std::size_t damaged = dataPages[dataPages.size() - 4];
  std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(damaged),
            bytes.begin() + static_cast<std::ptrdiff_t>(damaged + 8192), '\xEE');
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;

  for (const bool exported : {false, true}) {
    SCOPED_TRACE(exported ? "export" : "rows --all");
    const fs::path out = files_ / "items.csv";
    const CliRun run = exported ? RunCommand({"export", path, "Items", out.string()})
                                : RunCommand({"rows", path, "Items", "--all", "--format", "csv"});
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.err.find("table 'Items': 1 unreadable page, its rows are missing"), std::string::npos)
        << run.err;
    const Rows after = ParseCsv(exported ? ReadBytes(out) : run.out);
    EXPECT_GT(after.size(), 2500u);
    EXPECT_LT(after.size(), before.size());
    EXPECT_EQ(after.back(), before.back()) << "the rows after the damaged page are all there";
  }
}

}  // namespace
}  // namespace quillmark::testing
