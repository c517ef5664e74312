#include "gui/OpenDatabaseDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/QtText.h"

namespace quillmark::gui {
namespace {

// The wait cursor for the time of a browse, as the dialog shows it.
struct WaitCursor {
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

QPushButton* BrowseButton(QWidget* parent) {
  auto* button = new QPushButton(QStringLiteral("..."), parent);
  button->setFixedWidth(36);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

OpenDatabaseDialog::OpenDatabaseDialog(app::CKestrumFileSettingDlg& rules, QWidget* parent)
    : QDialog(parent), rules_(rules) {
  setWindowTitle(Q(app::kOpenDialogTitle));
  setObjectName(QStringLiteral("openDialog"));

  auto* upper = new QGroupBox(this);
  auto* upperLayout = new QGridLayout(upper);
  path_ = new QLineEdit(upper);
  path_->setMinimumWidth(420);
  browseFile_ = BrowseButton(upper);
  modes_ = new QComboBox(upper);
  sql2000_ = new QCheckBox(QStringLiteral("Is SQL 2000"), upper);
  showDeleted_ = new QCheckBox(QStringLiteral("Show deleted records"), upper);
  showAdvancedDeleted_ = new QCheckBox(QStringLiteral("Show Advanced Deleted records"), upper);
  upperLayout->addWidget(new QLabel(QStringLiteral("Select MDF File Path:"), upper), 0, 0);
  upperLayout->addWidget(path_, 0, 1);
  upperLayout->addWidget(browseFile_, 0, 2);
  upperLayout->addWidget(new QLabel(QStringLiteral("Select Recovery Mode:"), upper), 1, 0);
  upperLayout->addWidget(modes_, 1, 1, 1, 2);
  auto* options = new QHBoxLayout;
  options->addWidget(sql2000_);
  options->addWidget(showDeleted_);
  options->addWidget(showAdvancedDeleted_);
  options->addStretch();
  upperLayout->addLayout(options, 2, 0, 1, 3);

  auto* logPart = new QGroupBox(this);
  auto* logLayout = new QGridLayout(logPart);
  logFolder_ = new QLineEdit(logPart);
  browseFolder_ = BrowseButton(logPart);
  logLayout->addWidget(new QLabel(QStringLiteral("Select Log file path:"), logPart), 0, 0);
  logLayout->addWidget(logFolder_, 0, 1);
  logLayout->addWidget(browseFolder_, 0, 2);

  auto* collation = new QGroupBox(QStringLiteral("Collation Option:"), this);
  auto* collationLayout = new QHBoxLayout(collation);
  autoDetect_ = new QRadioButton(QStringLiteral("Auto detect"), collation);
  manual_ = new QRadioButton(QStringLiteral("Manual"), collation);
  collations_ = new QComboBox(collation);
  collations_->setMinimumContentsLength(28);
  collations_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  collationLayout->addWidget(autoDetect_);
  collationLayout->addWidget(manual_);
  collationLayout->addWidget(collations_, 1);

  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setAutoDefault(false);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(upper);
  layout->addWidget(logPart);
  layout->addWidget(collation);
  layout->addLayout(buttons);

  for (const std::u16string& mode : rules_.modes) modes_->addItem(Q(mode));
  for (const app::CKestrumFileSettingDlg::CollationItem& item : rules_.collations)
    collations_->addItem(FromUtf8(item.name), QVariant::fromValue<uint>(item.data));
  Show();

  connect(browseFile_, &QPushButton::clicked, this, [this] {
    Take();
    {
      WaitCursor wait;
      rules_.BrowseFile();
    }
    Show();
  });
  connect(browseFolder_, &QPushButton::clicked, this, [this] {
    Take();
    rules_.BrowseFolder();
    Show();
  });
  connect(autoDetect_, &QRadioButton::clicked, this, [this] {
    rules_.ClickAutoDetect();
    Show();
  });
  connect(manual_, &QRadioButton::clicked, this, [this] {
    rules_.ClickManual();
    Show();
  });
  connect(collations_, &QComboBox::activated, this, [this](int index) { rules_.SelectCollation(index); });
  connect(ok_, &QPushButton::clicked, this, &OpenDatabaseDialog::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void OpenDatabaseDialog::Show() {
  path_->setText(FromUtf8(rules_.path));
  logFolder_->setText(FromUtf8(rules_.logFolder));
  modes_->setCurrentIndex(rules_.modeSelection);
  sql2000_->setChecked(rules_.sql2000);
  showDeleted_->setChecked(rules_.showDeleted);
  showAdvancedDeleted_->setChecked(rules_.showAdvancedDeleted);
  autoDetect_->setChecked(rules_.autoDetect);
  manual_->setChecked(rules_.manual);
  collations_->setEnabled(rules_.collationListEnabled);
  collations_->setCurrentIndex(rules_.collationSelection);
}

void OpenDatabaseDialog::Take() {
  rules_.path = Utf8(path_->text());
  rules_.logFolder = Utf8(logFolder_->text());
  rules_.modeSelection = modes_->currentIndex();
  rules_.sql2000 = sql2000_->isChecked();
  rules_.showDeleted = showDeleted_->isChecked();
  rules_.showAdvancedDeleted = showAdvancedDeleted_->isChecked();
}

void OpenDatabaseDialog::OnOk() {
  Take();
  if (rules_.Ok()) accept();
}

}  // namespace quillmark::gui
