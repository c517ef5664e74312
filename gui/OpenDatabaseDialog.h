// "Select Corrupted MDF file": the open dialog's controls over the rules of
// app/OpenDialog (defaults, browsing, the collation radios and list, OK's
// checks and messages). The widgets only show and hand over the values.
#pragma once

#include <QDialog>

#include "app/OpenDialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quillmark::gui {

class OpenDatabaseDialog : public QDialog {
  Q_OBJECT
 public:
  // `rules` has been initialised (Init) by the Open command.
  OpenDatabaseDialog(app::CKestrumFileSettingDlg& rules, QWidget* parent = nullptr);

  QLineEdit* pathEdit() const { return path_; }
  QPushButton* browseFile() const { return browseFile_; }
  QComboBox* modeList() const { return modes_; }
  QCheckBox* sql2000() const { return sql2000_; }
  QCheckBox* showDeleted() const { return showDeleted_; }
  QCheckBox* showAdvancedDeleted() const { return showAdvancedDeleted_; }
  QLineEdit* logFolderEdit() const { return logFolder_; }
  QPushButton* browseFolder() const { return browseFolder_; }
  QRadioButton* autoDetect() const { return autoDetect_; }
  QRadioButton* manual() const { return manual_; }
  QComboBox* collationList() const { return collations_; }
  QPushButton* okButton() const { return ok_; }
  QPushButton* cancelButton() const { return cancel_; }

 private:
  // The rules' values into the controls, and the controls' into the rules.
  void Show();
  void Take();
  void OnOk();

  app::CKestrumFileSettingDlg& rules_;
  QLineEdit* path_ = nullptr;
  QPushButton* browseFile_ = nullptr;
  QComboBox* modes_ = nullptr;
  QCheckBox* sql2000_ = nullptr;
  QCheckBox* showDeleted_ = nullptr;
  QCheckBox* showAdvancedDeleted_ = nullptr;
  QLineEdit* logFolder_ = nullptr;
  QPushButton* browseFolder_ = nullptr;
  QRadioButton* autoDetect_ = nullptr;
  QRadioButton* manual_ = nullptr;
  QComboBox* collations_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace quillmark::gui
