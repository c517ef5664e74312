// The log: every line goes to the log pane's list and, followed by CR LF, to the
// current log file (UTF-16LE with a byte-order mark), named after the moment
// its scan started.
#pragma once

#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>

#include "platform/Controls.h"
#include "platform/UiDispatcher.h"
#include "values/RecordListing.h"

namespace quillmark::app {

inline constexpr const char* kLogFilePrefix = "KestrumBrisling_log_";

// "KestrumBrisling_log_" + day-month-year-hour-minute-second + ".txt", without
// leading zeros.
std::string LogFileName(const std::tm& local);

class Log : public ListingLog {
 public:
  Log(platform::UiDispatcher& ui, platform::LogList& list);
  ~Log() override;
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  // Starts the log file in `folder` (ending in a separator) named after now:
  // a new file begins with the byte-order mark, an existing one is appended
  // to; then the separator line. Sets the application's logFilePath. False
  // when the file cannot be opened; the list still gets every line then.
  bool Open(const std::string& folder);
  void Close();
  bool IsOpen() const;

  // The shared step of every part of the shell; runs on any thread.
  void LogLine(const std::u16string& text) override;
  // An 8-bit text (as WM_APP_LOG carries it), converted with the ANSI code page.
  void LogLine8(const char* text);
  // Into the list only (the snapshot-save lines).
  void ListOnly(const std::u16string& text);
  void ReplaceLastLine(const std::u16string& text) override;
  void WriteToFile(const std::u16string& text) override;

  // The clock the file name is taken from; tests set it.
  std::function<std::time_t()> clock = [] { return std::time(nullptr); };

 private:
  void InsertIntoList(const std::u16string& text);

  platform::UiDispatcher& ui_;
  platform::LogList& list_;
  std::FILE* file_ = nullptr;
  mutable std::mutex fileMutex_;
};

}  // namespace quillmark::app
