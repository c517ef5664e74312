// Ctrl+C during a long command: the handler only raises flags (the engine's
// stop request and one of our own, which a page-chain walk cannot clear), and
// the command stops between rows, cleans up and says what it left.
#pragma once

namespace quillmark::cli {

class InterruptScope {
 public:
  InterruptScope();   // installs the SIGINT handler
  ~InterruptScope();  // puts the previous one back
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
};

bool Interrupted();
// What a test's Ctrl+C does.
void RaiseInterrupt();
void ClearInterrupt();

}  // namespace quillmark::cli
