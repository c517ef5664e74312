#include "app/Log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>

#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "platform/headless/HeadlessControls.h"
#include "builder/FixtureBuilder.h"

namespace quillmark::app {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::TempDir;
using testing::Utf16;

std::tm Calendar(int day, int month, int year, int hour, int minute, int second) {
  std::tm local{};
  local.tm_mday = day;
  local.tm_mon = month - 1;
  local.tm_year = year - 1900;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  return local;
}

std::time_t LocalMoment(int day, int month, int year, int hour, int minute, int second) {
  std::tm local = Calendar(day, month, year, hour, minute, second);
  return std::mktime(&local);
}

Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const Bytes kByteOrderMark = {0xFF, 0xFE};
const Bytes kSeparator = Utf16(u"\r\n" + std::u16string(80, u'*') + u"\r\n");
constexpr const char* kScanStart = "KestrumBrisling_log_8-12-2026-20-5-7.txt";

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    log.clock = [this] { return now; };
  }
  void TearDown() override { ResetSettings(); }

  std::string Folder() const { return dir.path().string() + "/"; }

  TempDir dir;
  std::time_t now = LocalMoment(8, 12, 2026, 20, 5, 7);
  platform::QueueDispatcher ui;
  platform::headless::Log list;
  Log log{ui, list};
};

TEST(LogFileNameTest, FieldsWithoutLeadingZeros) {
  const std::pair<std::tm, std::string> cases[] = {
      {Calendar(8, 12, 2026, 20, 5, 7), kScanStart},
      {Calendar(1, 1, 2027, 0, 0, 0), "KestrumBrisling_log_1-1-2027-0-0-0.txt"},
      {Calendar(31, 10, 1999, 23, 59, 59), "KestrumBrisling_log_31-10-1999-23-59-59.txt"},
  };
  for (const auto& [local, name] : cases) EXPECT_EQ(LogFileName(local), name);
}

TEST_F(LogTest, NewFileHoldsByteOrderMarkSeparatorAndLines) {
  ASSERT_TRUE(log.Open(Folder()));
  EXPECT_TRUE(log.IsOpen());
  EXPECT_EQ(Settings().logFilePath, Folder() + kScanStart);
  log.LogLine(u"Scanning of file starts...");
  log.LogLine(u"Collation Type: Latin1_General_CI_AS");

  EXPECT_EQ(ReadBytes(Settings().logFilePath),
            Concat({kByteOrderMark, kSeparator,
                    Utf16(u"Scanning of file starts...\r\nCollation Type: Latin1_General_CI_AS\r\n")}));
  EXPECT_EQ(list.Lines(),
            (std::vector<std::u16string>{u"Scanning of file starts...", u"Collation Type: Latin1_General_CI_AS"}));
  EXPECT_EQ(Settings().logLineCount, 2);
}

TEST_F(LogTest, ScanWithinTheSameSecondAppendsToTheSameFile) {
  ASSERT_TRUE(log.Open(Folder()));
  log.LogLine(u"first scan");
  ASSERT_TRUE(log.Open(Folder()));
  log.LogLine(u"second scan");

  EXPECT_EQ(ReadBytes(dir / kScanStart),
            Concat({kByteOrderMark, kSeparator, Utf16(u"first scan\r\n"), kSeparator, Utf16(u"second scan\r\n")}));
  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u"first scan", u"second scan"}));
}

TEST_F(LogTest, LaterScanWritesANewFileWhileTheListKeepsEveryLine) {
  ASSERT_TRUE(log.Open(Folder()));
  log.LogLine(u"first scan");
  now += 61;
  ASSERT_TRUE(log.Open(Folder()));
  log.LogLine(u"second scan");

  EXPECT_EQ(ReadBytes(dir / kScanStart), Concat({kByteOrderMark, kSeparator, Utf16(u"first scan\r\n")}));
  EXPECT_EQ(ReadBytes(dir / "KestrumBrisling_log_8-12-2026-20-6-8.txt"),
            Concat({kByteOrderMark, kSeparator, Utf16(u"second scan\r\n")}));
  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u"first scan", u"second scan"}));
  EXPECT_EQ(Settings().logLineCount, 2);
}

TEST_F(LogTest, EightBitTextIsConvertedWithTheAnsiCodePage) {
  platform::SetAnsiCodePage(1252);
  ASSERT_TRUE(log.Open(Folder()));
  log.LogLine8("Caf\xE9 \x80 5%s");

  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u"Caf\u00E9 \u20AC 5%s"}));
  EXPECT_EQ(ReadBytes(dir / kScanStart), Concat({kByteOrderMark, kSeparator, Utf16(u"Caf\u00E9 \u20AC 5%s\r\n")}));
}

TEST_F(LogTest, ListOnlyLinesStayOutOfTheFile) {
  ASSERT_TRUE(log.Open(Folder()));
  log.ListOnly(u"Saving Snapshot..Please wait....");
  log.LogLine(u"logged");

  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u"Saving Snapshot..Please wait....", u"logged"}));
  EXPECT_EQ(Settings().logLineCount, 2);
  EXPECT_EQ(ReadBytes(dir / kScanStart), Concat({kByteOrderMark, kSeparator, Utf16(u"logged\r\n")}));
}

TEST_F(LogTest, ReplaceLastLineAppendsWhenThereIsNoLine) {
  log.ReplaceLastLine(u" row 1 inserted");
  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u" row 1 inserted"}));
  EXPECT_EQ(Settings().logLineCount, 1);

  log.LogLine(u"Orders[2]");
  log.ReplaceLastLine(u" row 2 inserted");
  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u" row 1 inserted", u" row 2 inserted"}));
  EXPECT_EQ(Settings().logLineCount, 2);
}

TEST_F(LogTest, UnwritableFolderKeepsListingWithoutAFile) {
  ASSERT_TRUE(log.Open(Folder()));
  log.LogLine(u"before");
  const std::string missing = (dir / "missing").string() + "/";
  EXPECT_FALSE(log.Open(missing));
  EXPECT_FALSE(log.IsOpen());
  EXPECT_EQ(Settings().logFilePath, missing + kScanStart);
  log.LogLine(u"after");

  EXPECT_EQ(list.Lines(), (std::vector<std::u16string>{u"before", u"after"}));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
  EXPECT_EQ(ReadBytes(dir / kScanStart), Concat({kByteOrderMark, kSeparator, Utf16(u"before\r\n")}));
}

// Workers list through the user-interface thread and write the file
// themselves; every line arrives whole, in the list and in the file.
TEST_F(LogTest, WorkersAndTheUserInterfaceThreadShareTheLog) {
  ASSERT_TRUE(log.Open(Folder()));
  constexpr int kLines = 40;
  std::atomic<int> finished{0};
  auto worker = [&](char16_t name) {
    for (int i = 0; i < kLines; ++i) log.LogLine(std::u16string(30, name));
    ++finished;
  };
  std::thread first(worker, u'a');
  std::thread second(worker, u'b');
  for (int i = 0; i < kLines; ++i) log.LogLine(std::u16string(30, u'u'));
  const bool done = ui.PumpUntil([&] { return finished.load() == 2; });
  first.join();
  second.join();
  ASSERT_TRUE(done);

  EXPECT_EQ(Settings().logLineCount, 3 * kLines);
  ASSERT_EQ(list.LineCount(), 3 * kLines);
  const Bytes bytes = ReadBytes(dir / kScanStart);
  const std::size_t header = kByteOrderMark.size() + kSeparator.size();
  const std::size_t lineBytes = (30 + 2) * 2;
  ASSERT_EQ(bytes.size(), header + 3 * kLines * lineBytes);
  for (std::size_t offset = header; offset < bytes.size(); offset += lineBytes) {
    const Bytes line(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + lineBytes));
    const char16_t name = static_cast<char16_t>(line[0]);
    EXPECT_EQ(line, Utf16(std::u16string(30, name) + u"\r\n"));
  }
}

}  // namespace
}  // namespace quillmark::app
