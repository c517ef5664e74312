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
  QMetaObject::invokeMethod(&context_, [&work] { work(); }, Qt::BlockingQueuedConnection);
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
