#include "app/OpenDialog.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "app/MainFrame.h"
#include "engine/AppSettings.h"
#include "platform/DesktopFolder.h"

namespace quillmark::app {
namespace {

namespace fs = std::filesystem;

constexpr const char16_t* kInvalidMdfFile = u"Please select valid mdf file.";
constexpr const char16_t* kInvalidSqlPath = u"Please select valid SQL file path to continue the recovery process.";
constexpr const char16_t* kInvalidLogPath = u"Please select valid Log file path to continue the recovery process.";
constexpr const char16_t* kLogFolderTitle = u"Select location to save Log file(s).";

bool IsFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

bool IsDirectory(const std::string& path) {
  std::error_code error;
  return fs::is_directory(path, error);
}

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(path, error);
}

std::string Trimmed(const std::string& text) {
  const char* space = " \t\r\n\v\f";
  const std::size_t first = text.find_first_not_of(space);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(space) - first + 1);
}

bool NamesMdf(std::string path) {
  std::transform(path.begin(), path.end(), path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return path.find(".MDF") != std::string::npos;
}

}  // namespace

CKestrumFileSettingDlg::CKestrumFileSettingDlg(platform::Dialogs& dialogs) : dialogs_(dialogs) {}

void CKestrumFileSettingDlg::Init() {
  modes = {kStandardMode, kAdvancedMode};
  modeSelection = 0;
  ClickAutoDetect();

  collations.clear();
  for (const auto& [id, entry] : Settings().collationMap)
    collations.push_back(CollationItem{entry.name, static_cast<std::uint32_t>(id & 0xFFFFFFFF)});
  collationSelection = collations.empty() ? -1 : 0;

  logFolder = platform::DesktopFolder().string();
  path.clear();
  sql2000 = showDeleted = showAdvancedDeleted = false;
}

void CKestrumFileSettingDlg::BrowseFile() {
  platform::FileDialogOptions options;
  options.defaultExtension = "mdf";
  options.fileName = "*.mdf";
  options.filter = ".mdf Files (*.mdf)|*mdf||";
  const std::optional<std::string> chosen = dialogs_.ChooseFile(options);
  if (!chosen) return;
  if (IsFile(*chosen)) path = *chosen;
  else dialogs_.MessageBox(kInvalidMdfFile, kAppCaption, platform::Icon::kInformation, false);
}

void CKestrumFileSettingDlg::BrowseFolder() {
  const std::optional<std::string> chosen = dialogs_.ChooseFolder(kLogFolderTitle);
  if (!chosen) return;
  const std::string folder = Trimmed(*chosen);
  if (IsDirectory(folder)) logFolder = folder;
}

void CKestrumFileSettingDlg::ClickAutoDetect() {
  autoDetect = true;
  manual = false;
  collationListEnabled = false;
  Settings().autoDetectCollation = 1;
}

// The list already shows a collation as chosen; "Manual" takes it, so the
// first item counts even when the user never changes the selection.
void CKestrumFileSettingDlg::ClickManual() {
  autoDetect = false;
  manual = true;
  collationListEnabled = true;
  Settings().autoDetectCollation = 0;
  TakeSelectedCollation();
}

void CKestrumFileSettingDlg::SelectCollation(int index) {
  collationSelection = index >= 0 && index < static_cast<int>(collations.size()) ? index : -1;
  TakeSelectedCollation();
}

bool CKestrumFileSettingDlg::Ok() {
  if (!NamesMdf(path) || !IsFile(path)) {
    dialogs_.MessageBox(kInvalidSqlPath, kAppCaption, platform::Icon::kInformation, false);
    return false;
  }
  if (!Exists(logFolder)) {
    dialogs_.MessageBox(kInvalidLogPath, kAppCaption, platform::Icon::kInformation, false);
    return false;
  }
  if (logFolder.back() != '/') logFolder += '/';

  AppSettings& settings = Settings();
  settings.logFolder = logFolder;
  settings.databasePath = path;
  if (modeSelection == 0) settings.recoveryMode = 1;
  else if (modeSelection == 1) settings.recoveryMode = 2;
  settings.isSql2000 = sql2000 ? 1 : 0;
  settings.showDeletedRecords = showDeleted ? 1 : 0;
  settings.showAdvancedDeletedRecords = showAdvancedDeleted ? 1 : 0;
  if (manual) TakeSelectedCollation();
  return true;
}

void CKestrumFileSettingDlg::TakeSelectedCollation() {
  if (collationSelection < 0 || collationSelection >= static_cast<int>(collations.size())) return;
  Settings().manualCollation = static_cast<std::int64_t>(collations[static_cast<std::size_t>(collationSelection)].data);
}

bool FillAndAccept(CKestrumFileSettingDlg& dialog, const ScanOptions& options) {
  dialog.path = options.file;
  dialog.modeSelection = options.advanced ? 1 : 0;
  dialog.sql2000 = options.sql2000;
  dialog.showDeleted = options.showDeleted;
  dialog.showAdvancedDeleted = options.showAdvancedDeleted;
  if (options.logFolder) dialog.logFolder = *options.logFolder;
  if (options.collation) {
    dialog.ClickManual();
    const auto found = std::find_if(dialog.collations.begin(), dialog.collations.end(), [&](const auto& item) {
      return item.data == static_cast<std::uint32_t>(*options.collation);
    });
    if (found != dialog.collations.end()) dialog.SelectCollation(static_cast<int>(found - dialog.collations.begin()));
  }
  return dialog.Ok();
}

}  // namespace quillmark::app
