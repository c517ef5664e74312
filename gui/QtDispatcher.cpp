#include "gui/QtDispatcher.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace quillmark::gui {

bool QtDispatcher::OnUiThread() const { return QThread::currentThread() == context_.thread(); }

void QtDispatcher::Invoke(const std::function<void()>& work) {
  if (OnUiThread()) {
    work();
    return;
  }
  Call call;
  call.work = &work;
  // Posted under the lock: the user-interface thread takes the lock before it
  // runs the call, so it sees everything this thread wrote before waiting.
  std::unique_lock lock(mutex_);
  QMetaObject::invokeMethod(&context_, [this, &call] { Run(call); }, Qt::QueuedConnection);
  finished_.wait(lock, [&] { return call.done; });
}

void QtDispatcher::Run(Call& call) {
  { const std::lock_guard lock(mutex_); }
  (*call.work)();
  // Once done is seen the worker returns and the call ends: set it last.
  const std::lock_guard lock(mutex_);
  call.done = true;
  finished_.notify_all();
}

bool QtDispatcher::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const QDeadlineTimer deadline(timeout);
  // `done` may turn true without any event (a worker ending): a tick wakes the
  // loop to look again.
  QTimer tick;
  tick.start(2);
  while (!done()) {
    if (deadline.hasExpired()) return done();
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
  return true;
}

}  // namespace quillmark::gui
