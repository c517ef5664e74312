#include "platform/UiDispatcher.h"

namespace quillmark::platform {
namespace {

// A worker usually has its work done, and the user-interface thread its next
// piece of work, within microseconds: both spin that long before sleeping, so
// a listing's one call per row does not cost two thread switches.
constexpr auto kSpin = std::chrono::microseconds(50);

template <typename Predicate>
bool SpinUntil(Predicate ready) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  while (!ready()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::yield();
  }
  return true;
}

}  // namespace

QueueDispatcher::QueueDispatcher() : uiThread_(std::this_thread::get_id()) {}

bool QueueDispatcher::OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

void QueueDispatcher::Invoke(const std::function<void()>& work) {
  if (OnUiThread()) {
    work();
    return;
  }
  Call call;
  call.work = &work;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(&call);
    pending_.fetch_add(1, std::memory_order_release);
  }
  queued_.notify_all();
  if (SpinUntil([&] { return call.done.load(std::memory_order_acquire); })) return;
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return call.done.load(std::memory_order_acquire); });
}

void QueueDispatcher::PumpPending() {
  for (;;) {
    Call* call = nullptr;
    {
      std::lock_guard lock(mutex_);
      if (calls_.empty()) return;
      call = calls_.front();
      calls_.pop_front();
      pending_.fetch_sub(1, std::memory_order_relaxed);
    }
    (*call->work)();
    // Once done is seen the caller may return and end the call's life: set it
    // last, under the lock its sleeping caller waits with.
    std::lock_guard lock(mutex_);
    call->done.store(true, std::memory_order_release);
    finished_.notify_all();
  }
}

bool QueueDispatcher::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    PumpPending();
    if (done()) return true;
    if (SpinUntil([&] { return pending_.load(std::memory_order_acquire) > 0 || done(); })) continue;
    std::unique_lock lock(mutex_);
    // A short wait: `done` may turn true without any queued work (a worker ending).
    queued_.wait_for(lock, std::chrono::milliseconds(2), [&] { return !calls_.empty(); });
    if (std::chrono::steady_clock::now() >= deadline) return done();
  }
}

}  // namespace quillmark::platform
