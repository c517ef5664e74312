#include "platform/UiDispatcher.h"

namespace quillmark::platform {

QueueDispatcher::QueueDispatcher() : uiThread_(std::this_thread::get_id()) {}

bool QueueDispatcher::OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

void QueueDispatcher::Invoke(const std::function<void()>& work) {
  if (OnUiThread()) {
    work();
    return;
  }
  Call call{&work, false};
  std::unique_lock lock(mutex_);
  calls_.push_back(&call);
  queued_.notify_all();
  finished_.wait(lock, [&] { return call.done; });
}

void QueueDispatcher::PumpPending() {
  for (;;) {
    Call* call = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (calls_.empty()) return;
      call = calls_.front();
      calls_.pop_front();
    }
    (*call->work)();
    std::lock_guard lock(mutex_);
    call->done = true;
    finished_.notify_all();
  }
}

bool QueueDispatcher::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    PumpPending();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    // A short wait: `done` may turn true without any queued work (a worker ending).
    queued_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !calls_.empty(); });
    if (std::chrono::steady_clock::now() >= deadline) return done();
  }
}

}  // namespace quillmark::platform
