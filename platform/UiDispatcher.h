// The user-interface thread: it owns every control. A worker runs a piece of
// user-interface work with Invoke, which returns only after the work ran on
// that thread, so texts passed by pointer may live on the worker's stack.
// Invoke from the user-interface thread itself runs the work at once.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace quillmark::platform {

class UiDispatcher {
 public:
  virtual ~UiDispatcher() = default;
  virtual bool OnUiThread() const = 0;
  virtual void Invoke(const std::function<void()>& work) = 0;
  // On the user-interface thread: keeps handling work (and, in a window
  // system, events) until `done` holds or `timeout` passed; whether it held.
  virtual bool PumpUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(120000)) = 0;
};

// The headless user-interface thread: the thread that constructs it. Work from
// other threads waits in a queue until that thread pumps it.
class QueueDispatcher : public UiDispatcher {
 public:
  QueueDispatcher();

  bool OnUiThread() const override;
  void Invoke(const std::function<void()>& work) override;

  // On the user-interface thread: runs queued work until `done` holds (checked
  // between pieces of work) or `timeout` passed. Returns whether `done` held.
  bool PumpUntil(const std::function<bool()>& done,
                 std::chrono::milliseconds timeout = std::chrono::milliseconds(120000)) override;
  // Runs whatever work is queued now.
  void PumpPending();

 private:
  struct Call {
    const std::function<void()>* work = nullptr;
    std::atomic<bool> done{false};
  };

  std::thread::id uiThread_;
  mutable std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Call*> calls_;
  std::atomic<int> pending_{0};  // calls queued and not yet taken
};

}  // namespace quillmark::platform
