// Message boxes and the file and folder dialogs over Qt. A message box is
// modal on the user-interface thread; a worker that shows one (through the
// dispatcher) waits until it is answered.
//
// A scripted run (--screenshot) shows no box: each text goes to the error
// stream, a question is answered Yes, and the texts are kept.
#pragma once

#include <QString>
#include <vector>

#include "platform/Controls.h"

class QWidget;

namespace quillmark::gui {

// A Windows filter ("desc|pattern|desc|pattern||") as Qt name filters
// ("desc (patterns)"), each pattern in both letter cases since Windows matches
// names regardless of case.
QStringList NameFilters(const std::string& windowsFilter);

class QtDialogs : public platform::Dialogs {
 public:
  // Boxes are owned by `parent` (none for a box before the window exists).
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}

  platform::Answer MessageBox(const std::u16string& text, const std::u16string& caption, platform::Icon icon,
                              bool yesNo) override;
  std::optional<std::string> ChooseFile(const platform::FileDialogOptions& options) override;
  std::optional<std::string> ChooseFolder(const std::u16string& title) override;

  void SetScripted(bool scripted) { scripted_ = scripted; }
  // Every box's text, in order (kept in both modes).
  const std::vector<std::u16string>& shown() const { return shown_; }

 private:
  QWidget* parent_ = nullptr;
  bool scripted_ = false;
  std::vector<std::u16string> shown_;
};

}  // namespace quillmark::gui
