// The shell driven end to end over the in-memory controls: a scan through the
// open dialog, clicks on tree labels, paging, commands.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/HeadlessShell.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "platform/CodePage.h"
#include "builder/FixtureBuilder.h"
#include "tests/support/RealFixtures.h"
#include "tests/support/WhileMapping.h"

namespace quillmark::testing {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    LoadCollationList();
  }
  void TearDown() override { ResetSettings(); }

  app::ScanOptions Options(const std::filesystem::path& file) const {
    app::ScanOptions options;
    options.file = file.string();
    options.logFolder = dir_.path().string();
    return options;
  }

  static std::vector<std::string> Utf8(const std::vector<std::u16string>& texts) {
    std::vector<std::string> out;
    for (const std::u16string& text : texts) out.push_back(platform::Utf16ToUtf8(text));
    return out;
  }
  static std::vector<std::string> LogLines(const app::HeadlessShell& shell) { return Utf8(shell.log.Lines()); }
  static std::vector<std::string> Boxes(const app::HeadlessShell& shell) { return Utf8(shell.window.dialogs.Texts()); }
  static std::string LastBox(const app::HeadlessShell& shell) {
    const std::vector<std::string> boxes = Boxes(shell);
    return boxes.empty() ? std::string() : boxes.back();
  }
  static std::string Text(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

  // The column titles of the records list, the untitled one included.
  static std::vector<std::string> Titles(const app::HeadlessShell& shell) {
    std::vector<std::string> titles;
    for (int i = 0; i < shell.window.records.ColumnCount(); ++i) titles.push_back(Text(shell.window.records.ColumnTitle(i)));
    return titles;
  }

  static std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Calls `action` once, while the scan maps the file's pages.
  static void WhileMapping(app::HeadlessShell& shell, std::function<void()> action) {
    shell.frame.onMessage = OnceWhileMapping(std::move(action));
  }

  TempDir dir_;
};

}  // namespace quillmark::testing
