#include "cli/OpenDatabase.h"

#include "cli/Commands.h"
#include "platform/Messages.h"

namespace quillmark::cli {
namespace {

using namespace quillmark::platform;

// Receives the engine's messages during the open: progress goes to the bar,
// the fatal text is kept for the error line.
class OpenListener : public MessageTarget {
 public:
  explicit OpenListener(ProgressBar* progress) : progress_(progress) {}

  LParam send(MessageId id, WParam wParam, LParam lParam) override {
    const char* text = CarriesText(id) ? reinterpret_cast<const char*>(lParam) : nullptr;
    if (id == WM_APP_FATAL && text) fatal = text;
    if (!progress_) return 1;
    if (id == WM_APP_PANEL_TEXT && text) progress_->SetText(text);
    if (id == WM_APP_PROGRESS_RANGE) progress_->SetRange(static_cast<std::uint64_t>(lParam));
    if (id == WM_APP_PROGRESS_POS) progress_->SetPosition(wParam);
    return 1;
  }

  std::string fatal;

 private:
  ProgressBar* progress_;
};

}  // namespace

OpenedDatabaseFile OpenDatabase(const std::string& path, ProgressBar* progress, bool withCatalog) {
  OpenListener listener(progress);
  OpenedDatabaseFile db;
  if (withCatalog)
    db = quillmark::OpenDatabase(path, 0, &listener);
  else
    db.file = DatabaseFile::Open(path, 0, &listener);
  if (progress) progress->Clear();
  db.file->frameWindow = nullptr;  // the listener ends with this call
  if (!db.opened()) throw CliError(listener.fatal.empty() ? kNotValidMdf : listener.fatal);
  return db;
}

}  // namespace quillmark::cli
