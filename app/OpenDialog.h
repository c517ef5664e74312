// The open dialog's rules ("Select Corrupted MDF file"): the database file, the
// recovery mode, three options, the log folder and the collation choice; the
// file and folder are checked, and OK stores everything in the application
// settings. The collation controls write their settings at once, even when the
// dialog is then cancelled.
//
// This is the dialog's logic over its control values; a front end binds its
// widgets to the fields and calls the handlers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Controls.h"

namespace quillmark::app {

inline constexpr const char16_t* kOpenDialogTitle = u"Select Corrupted MDF file";
inline constexpr const char16_t* kStandardMode = u"Standard Mode";
inline constexpr const char16_t* kAdvancedMode = u"Advanced Mode";

class CKestrumFileSettingDlg {
 public:
  struct CollationItem {
    std::string name;
    std::uint32_t data = 0;  // the low 32 bits of the collation id
  };

  explicit CKestrumFileSettingDlg(platform::Dialogs& dialogs);

  // The initial state; runs when the dialog is shown.
  void Init();
  void BrowseFile();    // "..." next to the path
  void BrowseFolder();  // "..." next to the log folder
  void ClickAutoDetect();
  void ClickManual();
  void SelectCollation(int index);
  // Checks and stores; true closes the dialog with OK.
  bool Ok();

  // The controls' values.
  std::string path;
  std::string logFolder;
  std::vector<std::u16string> modes;
  int modeSelection = -1;
  bool sql2000 = false;
  bool showDeleted = false;
  bool showAdvancedDeleted = false;
  bool autoDetect = true;
  bool manual = false;
  bool collationListEnabled = false;
  std::vector<CollationItem> collations;
  int collationSelection = -1;

 private:
  // manualCollation from the list's selection, when an item is selected.
  void TakeSelectedCollation();

  platform::Dialogs& dialogs_;
};

// The open dialog's choices, as a script or a command line gives them.
struct ScanOptions {
  std::string file;
  bool advanced = false;
  bool showDeleted = false;
  bool showAdvancedDeleted = false;
  bool sql2000 = false;
  std::optional<std::int64_t> collation;  // a manual collation id
  std::optional<std::string> logFolder;   // the dialog's default otherwise
};

// Fills the initialised dialog in from `options` the way a user would, then
// presses OK; whether the dialog accepted them.
bool FillAndAccept(CKestrumFileSettingDlg& dialog, const ScanOptions& options);

}  // namespace quillmark::app
