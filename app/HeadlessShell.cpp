#include "app/HeadlessShell.h"

#include "app/TreeText.h"
#include "engine/AppSettings.h"
#include "platform/TreeRules.h"

namespace quillmark::app {
namespace {

platform::FrameControls WithLog(platform::FrameControls controls, platform::LogList* log) {
  controls.log = log;
  return controls;
}

}  // namespace

void HeadlessShell::WatchedLog::InsertLine(int index, const std::u16string& text) {
  platform::headless::Log::InsertLine(index, text);
  if (shell_.onLogLine) shell_.onLogLine(text);
}

HeadlessShell::HeadlessShell() : log(*this), frame(ui, WithLog(window.Controls(), &log)) { frame.Create(); }

HeadlessShell::~HeadlessShell() { Wait(); }

void HeadlessShell::Wait() {
  ui.PumpUntil([this] { return !frame.WorkerAlive(); });
}

bool HeadlessShell::Scan(const ScanOptions& options) {
  bool accepted = false;
  frame.runOpenDialog = [&](CKestrumFileSettingDlg& dialog) {
    accepted = FillAndAccept(dialog, options);
    return accepted;
  };
  frame.OnCommand(kCommandOpen);
  Wait();
  return accepted;
}

bool HeadlessShell::Select(const std::vector<std::u16string>& path) {
  const platform::TreeItem root = window.tree.FirstChild(platform::kNoItem);
  if (root == platform::kNoItem) return false;
  std::vector<std::u16string> full{window.tree.ItemText(root)};
  full.insert(full.end(), path.begin(), path.end());
  const platform::TreeItem item = window.tree.Find(full);
  if (item == platform::kNoItem) return false;
  platform::LeftButtonDown(window.tree, item, platform::kHitOnLabel, &frame);
  Wait();
  return true;
}

void HeadlessShell::Next() {
  frame.send(platform::WM_APP_NEXT_RECORDS, 0, 0);
  Wait();
}

void HeadlessShell::Previous() {
  frame.send(platform::WM_APP_PREV_RECORDS, 0, 0);
  Wait();
}

void HeadlessShell::Command(int id) {
  frame.OnCommand(id);
  Wait();
}

std::string HeadlessShell::TreeText() const { return app::TreeText(window.tree); }

}  // namespace quillmark::app
