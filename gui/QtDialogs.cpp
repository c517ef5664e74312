#include "gui/QtDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <iostream>

#include "gui/QtText.h"

namespace quillmark::gui {
namespace {

QString BothCases(const QString& pattern) {
  const QString lower = pattern.toLower();
  const QString upper = pattern.toUpper();
  return lower == upper ? pattern : lower + u' ' + upper;
}

// A description without the pattern list it may already carry in parentheses.
QString Description(QString text) {
  const qsizetype open = text.lastIndexOf(u'(');
  if (open > 0 && text.endsWith(u')')) text = text.left(open).trimmed();
  return text;
}

QMessageBox::Icon ToQt(platform::Icon icon) {
  switch (icon) {
    case platform::Icon::kQuestion:
      return QMessageBox::Question;
    case platform::Icon::kError:
      return QMessageBox::Critical;
    default:
      return QMessageBox::Information;
  }
}

}  // namespace

QStringList NameFilters(const std::string& windowsFilter) {
  QStringList parts = FromUtf8(windowsFilter).split(u'|');
  while (!parts.isEmpty() && parts.back().isEmpty()) parts.pop_back();
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString pattern = i + 1 < parts.size() ? parts[i + 1] : parts[i];
    filters << Description(parts[i]) + QStringLiteral(" (") + BothCases(pattern) + u')';
  }
  return filters;
}

platform::Answer QtDialogs::MessageBox(const std::u16string& text, const std::u16string& caption, platform::Icon icon,
                                       bool yesNo) {
  shown_.push_back(text);
  if (scripted_) {
    std::cerr << Utf8(Q(text)) << '\n';
    return yesNo ? platform::Answer::kYes : platform::Answer::kOk;
  }
  QMessageBox box(ToQt(icon), Q(caption), Q(text), yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                  parent_);
  const int answer = box.exec();
  if (!yesNo) return platform::Answer::kOk;
  return answer == QMessageBox::Yes ? platform::Answer::kYes : platform::Answer::kNo;
}

std::optional<std::string> QtDialogs::ChooseFile(const platform::FileDialogOptions& options) {
  if (scripted_) return std::nullopt;
  QFileDialog dialog(parent_);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(options.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(options.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, !options.save);
  if (!options.defaultExtension.empty()) dialog.setDefaultSuffix(FromUtf8(options.defaultExtension));
  if (!options.filter.empty()) dialog.setNameFilters(NameFilters(options.filter));
  // "*.mdf" as a suggested name is the filter itself, not a name to keep.
  if (!options.fileName.empty() && options.fileName.find('*') == std::string::npos)
    dialog.selectFile(FromUtf8(options.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Utf8(dialog.selectedFiles().front());
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::u16string& title) {
  if (scripted_) return std::nullopt;
  QFileDialog dialog(parent_, Q(title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return Utf8(dialog.selectedFiles().front());
}

}  // namespace quillmark::gui
