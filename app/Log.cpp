#include "app/Log.h"

#include <cerrno>
#include <cstdint>
#include <string>

#include "engine/AppSettings.h"
#include "platform/CodePage.h"

namespace quillmark::app {
namespace {

constexpr char16_t kLineEnd[] = u"\r\n";

// A calendar time that could not be obtained names its date fields 0 and its
// time fields -1.
std::tm LocalTime(std::time_t now) {
  std::tm local{};
  if (localtime_r(&now, &local)) return local;
  local = std::tm{};
  local.tm_mday = 0;
  local.tm_mon = -1;
  local.tm_year = -1900;
  local.tm_hour = local.tm_min = local.tm_sec = -1;
  return local;
}

// Creates the file (`created`), or opens the existing one for appending.
std::FILE* OpenLogFile(const std::string& path, bool& created) {
  created = false;
  if (std::FILE* file = std::fopen(path.c_str(), "wxb")) {
    created = true;
    return file;
  }
  if (errno != EEXIST) return nullptr;
  return std::fopen(path.c_str(), "ab");
}

// A new line at logLineCount, which only the user-interface thread reads and
// advances.
void AddLine(platform::LogList& list, const std::u16string& text) {
  list.InsertLine(Settings().logLineCount, text);
  ++Settings().logLineCount;
}

}  // namespace

std::string LogFileName(const std::tm& local) {
  return kLogFilePrefix + std::to_string(local.tm_mday) + "-" + std::to_string(local.tm_mon + 1) + "-" +
         std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_hour) + "-" +
         std::to_string(local.tm_min) + "-" + std::to_string(local.tm_sec) + ".txt";
}

Log::Log(platform::UiDispatcher& ui, platform::LogList& list) : ui_(ui), list_(list) {}

Log::~Log() { Close(); }

bool Log::Open(const std::string& folder) {
  const std::string path = folder + LogFileName(LocalTime(clock()));
  Settings().logFilePath = path;

  std::lock_guard<std::mutex> lock(fileMutex_);
  if (file_) std::fclose(file_);
  bool created = false;
  file_ = OpenLogFile(path, created);
  if (!file_) return false;

  std::string bytes = created ? "\xFF\xFE" : "";
  bytes += platform::Utf16LeBytes(kLineEnd + std::u16string(80, u'*') + kLineEnd);
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  std::fflush(file_);
  return true;
}

void Log::Close() {
  std::lock_guard<std::mutex> lock(fileMutex_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

bool Log::IsOpen() const {
  std::lock_guard<std::mutex> lock(fileMutex_);
  return file_ != nullptr;
}

void Log::LogLine(const std::u16string& text) {
  InsertIntoList(text);
  WriteToFile(text);
}

void Log::LogLine8(const char* text) {
  if (text) LogLine(platform::AnsiToUtf16(text));
}

void Log::ListOnly(const std::u16string& text) { InsertIntoList(text); }

void Log::ReplaceLastLine(const std::u16string& text) {
  ui_.Invoke([&] {
    const int last = Settings().logLineCount - 1;
    if (last >= 0 && last < list_.LineCount()) {
      list_.SetLine(last, text);
    } else {
      AddLine(list_, text);
    }
  });
}

// Each line reaches the file in one write, so lines from the user-interface
// thread and a worker never interleave within a line.
void Log::WriteToFile(const std::u16string& text) {
  const std::string bytes = platform::Utf16LeBytes(text + kLineEnd);
  std::lock_guard<std::mutex> lock(fileMutex_);
  if (!file_) return;
  std::fwrite(bytes.data(), 1, bytes.size(), file_);
  std::fflush(file_);
}

void Log::InsertIntoList(const std::u16string& text) {
  ui_.Invoke([&] { AddLine(list_, text); });
}

}  // namespace quillmark::app
