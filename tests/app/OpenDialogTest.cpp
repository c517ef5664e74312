#include "app/OpenDialog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "engine/AppSettings.h"
#include "platform/DesktopFolder.h"
#include "platform/headless/HeadlessControls.h"
#include "builder/FixtureBuilder.h"

namespace quillmark::app {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr const char16_t* kInvalidSqlPath = u"Please select valid SQL file path to continue the recovery process.";
constexpr const char16_t* kInvalidLogPath = u"Please select valid Log file path to continue the recovery process.";

// Sets an environment variable for the test's span and puts it back after.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    Set(value);
  }
  ~ScopedEnvironment() { Set(old_); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  void Set(const std::optional<std::string>& value) {
    if (value) setenv(name_, value->c_str(), 1);
    else unsetenv(name_);
  }
  const char* name_;
  std::optional<std::string> old_;
};

void Touch(const fs::path& path) { testing::WriteFile(path, {0x00}); }

class OpenDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    Settings().collationMap = {
        {0x100000034, {"SQL_Latin1_General_CP1_CI_AS", 1252}},
        {8, {"Latin1_General_BIN", 1252}},
        {53, {"Cyrillic_General_CI_AS", 1251}},
    };
    Touch(dir / "shop.mdf");
  }
  void TearDown() override { ResetSettings(); }

  std::string Path(const std::string& name) const { return (dir / name).string(); }

  TempDir dir;
  ScopedEnvironment home{"HOME", dir.path().string()};
  ScopedEnvironment desktop{"XDG_DESKTOP_DIR", (dir / "Desk").string()};
  platform::headless::ScriptedDialogs dialogs;
  CKestrumFileSettingDlg dialog{dialogs};
};

TEST_F(OpenDialogTest, InitStartsFromTheDefaults) {
  Settings().autoDetectCollation = 0;
  dialog.Init();

  EXPECT_EQ(dialog.modes, (std::vector<std::u16string>{u"Standard Mode", u"Advanced Mode"}));
  EXPECT_EQ(dialog.modeSelection, 0);
  EXPECT_TRUE(dialog.autoDetect);
  EXPECT_FALSE(dialog.manual);
  EXPECT_FALSE(dialog.collationListEnabled);
  EXPECT_EQ(Settings().autoDetectCollation, 1);
  ASSERT_EQ(dialog.collations.size(), 3u);
  EXPECT_EQ(dialog.collations[0].name, "Latin1_General_BIN");
  EXPECT_EQ(dialog.collations[0].data, 8u);
  EXPECT_EQ(dialog.collations[1].name, "Cyrillic_General_CI_AS");
  EXPECT_EQ(dialog.collations[2].name, "SQL_Latin1_General_CP1_CI_AS");
  EXPECT_EQ(dialog.collations[2].data, 0x34u);
  EXPECT_EQ(dialog.collationSelection, 0);
  EXPECT_EQ(dialog.logFolder, Path("Desk"));
  EXPECT_TRUE(fs::is_directory(dir / "Desk"));
  EXPECT_TRUE(dialog.path.empty());
  EXPECT_FALSE(dialog.sql2000 || dialog.showDeleted || dialog.showAdvancedDeleted);
}

TEST_F(OpenDialogTest, DesktopFolderIsFoundAndCreated) {
  struct Case {
    std::optional<std::string> desktopVariable;
    std::string userDirs;  // the user-dirs.dirs text, none when empty
    fs::path expected;
  };
  Touch(dir / "plain-file");
  const Case cases[] = {
      {Path("Desk"), "", dir / "Desk"},
      {std::nullopt, "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n",
       dir / "Schreibtisch"},
      {std::nullopt, "XDG_DESKTOP_DIR=\"" + Path("abs/Bureau") + "\"\n", dir / "abs/Bureau"},
      {std::nullopt, "", dir / "Desktop"},
      {Path("plain-file/Desk"), "", dir.path()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected.string());
    fs::remove_all(dir / ".config");
    if (!c.userDirs.empty()) {
      fs::create_directories(dir / ".config");
      const std::string& text = c.userDirs;
      testing::WriteFile(dir / ".config" / "user-dirs.dirs", testing::Bytes(text.begin(), text.end()));
    }
    ScopedEnvironment configHome("XDG_CONFIG_HOME", std::nullopt);
    ScopedEnvironment variable("XDG_DESKTOP_DIR", c.desktopVariable);
    EXPECT_EQ(platform::DesktopFolder(), c.expected);
    EXPECT_TRUE(fs::is_directory(c.expected));
  }
}

TEST_F(OpenDialogTest, BrowseFileTakesAnExistingFileOnly) {
  dialog.Init();
  dialogs.files = {Path("shop.mdf"), Path("gone.mdf"), std::nullopt};
  dialog.BrowseFile();
  EXPECT_EQ(dialog.path, Path("shop.mdf"));
  ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
  EXPECT_FALSE(dialogs.fileDialogs[0].save);
  EXPECT_EQ(dialogs.fileDialogs[0].defaultExtension, "mdf");
  EXPECT_EQ(dialogs.fileDialogs[0].fileName, "*.mdf");
  EXPECT_EQ(dialogs.fileDialogs[0].filter, ".mdf Files (*.mdf)|*mdf||");
  EXPECT_TRUE(dialogs.shown.empty());

  dialog.BrowseFile();
  EXPECT_EQ(dialog.path, Path("shop.mdf"));
  ASSERT_EQ(dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.shown[0].text, u"Please select valid mdf file.");
  EXPECT_EQ(dialogs.shown[0].caption, u"Quillmark v18.0");
  EXPECT_EQ(dialogs.shown[0].icon, platform::Icon::kInformation);

  dialog.BrowseFile();
  EXPECT_EQ(dialog.path, Path("shop.mdf"));
  EXPECT_EQ(dialogs.shown.size(), 1u);
}

TEST_F(OpenDialogTest, BrowseFolderTakesAnExistingDirectoryTrimmed) {
  fs::create_directories(dir / "logs");
  dialog.Init();
  dialogs.folders = {" \t" + Path("logs") + " \n", Path("nowhere"), Path("shop.mdf"), std::nullopt};
  dialog.BrowseFolder();
  EXPECT_EQ(dialog.logFolder, Path("logs"));
  for (int i = 0; i < 3; ++i) {
    dialog.BrowseFolder();
    EXPECT_EQ(dialog.logFolder, Path("logs"));
  }
  EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(OpenDialogTest, OkChecksThePathAndTheLogFolder) {
  Touch(dir / "shop.MDF.bak");
  Touch(dir / "part.ndf");
  Touch(dir / "data.Mdf");
  fs::create_directories(dir / "logs");
  struct Case {
    std::string path;
    std::string folder;
    const char16_t* message;  // none when accepted
    std::string storedFolder;
  };
  const Case cases[] = {
      {Path("shop.mdf"), Path("logs"), nullptr, Path("logs") + "/"},
      {Path("shop.MDF.bak"), Path("logs") + "/", nullptr, Path("logs") + "/"},
      {Path("data.Mdf"), Path("shop.mdf"), nullptr, Path("shop.mdf") + "/"},
      {Path("part.ndf"), Path("logs"), kInvalidSqlPath, ""},
      {Path("missing.mdf"), Path("logs"), kInvalidSqlPath, ""},
      {"", Path("logs"), kInvalidSqlPath, ""},
      {Path("shop.mdf"), Path("nowhere"), kInvalidLogPath, ""},
      {Path("shop.mdf"), "", kInvalidLogPath, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " | " + c.folder);
    ResetSettings();
    dialogs.shown.clear();
    dialog.Init();
    dialog.path = c.path;
    dialog.logFolder = c.folder;
    const bool accepted = dialog.Ok();
    EXPECT_EQ(accepted, c.message == nullptr);
    if (c.message) {
      ASSERT_EQ(dialogs.shown.size(), 1u);
      EXPECT_EQ(dialogs.shown[0].text, c.message);
      EXPECT_EQ(dialogs.shown[0].caption, u"Quillmark v18.0");
      EXPECT_EQ(dialogs.shown[0].icon, platform::Icon::kInformation);
      EXPECT_TRUE(Settings().databasePath.empty());
      EXPECT_TRUE(Settings().logFolder.empty());
    } else {
      EXPECT_TRUE(dialogs.shown.empty());
      EXPECT_EQ(Settings().databasePath, c.path);
      EXPECT_EQ(Settings().logFolder, c.storedFolder);
    }
  }
}

TEST_F(OpenDialogTest, OkStoresTheModeAndTheOptions) {
  struct Case {
    int modeSelection;
    bool sql2000, deleted, advancedDeleted;
    std::int32_t recoveryMode;
  };
  const Case cases[] = {
      {0, false, false, false, 1},
      {1, true, false, true, 2},
      {-1, false, true, false, 7},  // no selection keeps the earlier mode
  };
  for (const Case& c : cases) {
    ResetSettings();
    Settings().recoveryMode = 7;
    dialog.Init();
    dialog.path = Path("shop.mdf");
    dialog.modeSelection = c.modeSelection;
    dialog.sql2000 = c.sql2000;
    dialog.showDeleted = c.deleted;
    dialog.showAdvancedDeleted = c.advancedDeleted;
    ASSERT_TRUE(dialog.Ok());
    EXPECT_EQ(Settings().recoveryMode, c.recoveryMode);
    EXPECT_EQ(Settings().isSql2000, c.sql2000 ? 1 : 0);
    EXPECT_EQ(Settings().showDeletedRecords, c.deleted ? 1 : 0);
    EXPECT_EQ(Settings().showAdvancedDeletedRecords, c.advancedDeleted ? 1 : 0);
    EXPECT_EQ(Settings().logFolder, Path("Desk") + "/");
  }
}

TEST_F(OpenDialogTest, ManualTakesTheCollationTheListShows) {
  Settings().manualCollation = 99;
  dialog.Init();
  dialog.ClickManual();
  EXPECT_TRUE(dialog.manual);
  EXPECT_FALSE(dialog.autoDetect);
  EXPECT_TRUE(dialog.collationListEnabled);
  EXPECT_EQ(Settings().autoDetectCollation, 0);
  dialog.path = Path("shop.mdf");
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(Settings().manualCollation, 8);
}

TEST_F(OpenDialogTest, SelectionWritesTheCollationAtOnce) {
  dialog.Init();
  dialog.ClickManual();
  dialog.SelectCollation(2);
  EXPECT_EQ(Settings().manualCollation, 0x34);
  dialog.SelectCollation(1);
  EXPECT_EQ(Settings().manualCollation, 53);
  dialog.ClickAutoDetect();
  EXPECT_EQ(Settings().autoDetectCollation, 1);
  EXPECT_FALSE(dialog.collationListEnabled);
  EXPECT_EQ(Settings().manualCollation, 53);
}

TEST_F(OpenDialogTest, ManualThenCancelKeepsManualUntilTheNextOpen) {
  dialog.Init();
  dialog.ClickManual();
  EXPECT_EQ(Settings().autoDetectCollation, 0);

  CKestrumFileSettingDlg next(dialogs);
  next.Init();
  EXPECT_EQ(Settings().autoDetectCollation, 1);
}

TEST_F(OpenDialogTest, EmptyCollationMapLeavesManualCollationUnchanged) {
  Settings().collationMap.clear();
  Settings().manualCollation = 99;
  dialog.Init();
  EXPECT_TRUE(dialog.collations.empty());
  EXPECT_EQ(dialog.collationSelection, -1);
  dialog.ClickManual();
  dialog.SelectCollation(0);
  dialog.path = Path("shop.mdf");
  ASSERT_TRUE(dialog.Ok());
  EXPECT_EQ(Settings().manualCollation, 99);
  EXPECT_EQ(Settings().autoDetectCollation, 0);
}

}  // namespace
}  // namespace quillmark::app
