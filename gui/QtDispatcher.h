// The user-interface thread of the window: the thread of the Qt application.
// A worker's Invoke is a blocking queued call into the event loop, so it
// returns after the work ran there; on that thread itself it is a direct call
// (a blocking queued call to one's own thread would never return).
//
// The worker waits on a mutex and condition of our own rather than on Qt's
// blocking connection, so that the hand-over is visible to the thread
// sanitizer (Qt's own locks are not instrumented).
#pragma once

#include <QObject>
#include <condition_variable>
#include <mutex>

#include "platform/UiDispatcher.h"

namespace quillmark::gui {

class QtDispatcher : public platform::UiDispatcher {
 public:
  // The work runs on the thread of `context`, which outlives every worker.
  explicit QtDispatcher(QObject& context) : context_(context) {}

  bool OnUiThread() const override;
  void Invoke(const std::function<void()>& work) override;
  // Runs the event loop until `done` holds or `timeout` passed.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(120000)) override;

 private:
  struct Call {
    const std::function<void()>* work = nullptr;
    bool done = false;
  };
  void Run(Call& call);

  QObject& context_;
  std::mutex mutex_;
  std::condition_variable finished_;
};

}  // namespace quillmark::gui
