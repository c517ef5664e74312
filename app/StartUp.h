// Start-up: one instance of the desktop program at a time, the collation list
// loaded before the main window exists, then the frame.
//
// The single instance is an advisory lock on a file named after the program's
// mutex name; the kernel releases it when the process ends, however it ends.
#pragma once

#include <string>

#include "platform/Controls.h"

namespace quillmark::app {

inline constexpr const char* kInstanceMutexName = "Global\\{DEREVIZEROZadide.0_EXE_RUNNING1}";
inline constexpr const char* kRegistryKeyName = "KestrumSQLDBViewerv18.01";
inline constexpr const char16_t* kAnotherInstance = u"Another instance of application is already running";

class SingleInstance {
 public:
  // Takes the lock of `name` in `folder` (the runtime folder by default).
  explicit SingleInstance(const std::string& name = kInstanceMutexName, const std::string& folder = "");
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  // False when another process holds the lock.
  bool acquired() const { return acquired_; }
  const std::string& lockPath() const { return lockPath_; }

 private:
  int fd_ = -1;
  bool acquired_ = false;
  std::string lockPath_;
};

// The steps before the main window: refuses a second instance with its message
// box (no owner), then loads the collation list. False when the program is to
// end.
bool StartUp(const SingleInstance& instance, platform::Dialogs& dialogs);

}  // namespace quillmark::app
