#include "cli/Interrupt.h"

#include <atomic>
#include <csignal>

#include "engine/AppSettings.h"

namespace quillmark::cli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
using Handler = void (*)(int);
Handler previous = SIG_DFL;

extern "C" void OnInterrupt(int) { RaiseInterrupt(); }

}  // namespace

InterruptScope::InterruptScope() {
  ClearInterrupt();
  previous = std::signal(SIGINT, OnInterrupt);
}

InterruptScope::~InterruptScope() { std::signal(SIGINT, previous == SIG_ERR ? SIG_DFL : previous); }

bool Interrupted() { return interrupted.load(); }

void RaiseInterrupt() {
  interrupted = true;
  Settings().stopRequested = 1;
}

void ClearInterrupt() { interrupted = false; }

}  // namespace quillmark::cli
