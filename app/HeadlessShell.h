// The shell without a screen: the main frame over the in-memory controls, driven
// the way a user drives the window (the open dialog filled in, clicks on tree
// labels, Next and Previous, the export and snapshot commands). Tests and the
// command line use it; what it shows is what the window would show.
//
// Construct it on the thread that acts as the user-interface thread; every
// call waits until the worker it started has ended.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "platform/UiDispatcher.h"
#include "platform/headless/HeadlessControls.h"

namespace quillmark::app {

class HeadlessShell {
  // The log list, telling onLogLine of each new line.
  class WatchedLog : public platform::headless::Log {
   public:
    explicit WatchedLog(HeadlessShell& shell) : shell_(shell) {}
    void InsertLine(int index, const std::u16string& text) override;

   private:
    HeadlessShell& shell_;
  };

 public:
  HeadlessShell();
  ~HeadlessShell();
  HeadlessShell(const HeadlessShell&) = delete;
  HeadlessShell& operator=(const HeadlessShell&) = delete;

  // Open (313) with the dialog filled in from `options`; false when the dialog
  // refused them (its message is in the shown boxes). Waits for the scan.
  bool Scan(const ScanOptions& options);
  // A left click on the label of the item reached by node texts below the
  // root (e.g. {"Tables", "User Tables", "Orders"}); waits for the selection.
  // False when there is no such item.
  bool Select(const std::vector<std::u16string>& path);
  void Next();
  void Previous();
  void Command(int id);
  // Waits until no worker runs.
  void Wait();

  // The object tree as indented text: node texts exactly, children in display
  // order, bold tables marked with "*" after the name.
  std::string TreeText() const;

  // Called with each new line of the log list as it arrives.
  std::function<void(const std::u16string&)> onLogLine;

  platform::QueueDispatcher ui;
  platform::headless::Window window;
  WatchedLog log;
  CMainFrame frame;
};

}  // namespace quillmark::app
