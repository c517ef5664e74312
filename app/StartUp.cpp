#include "app/StartUp.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/MainFrame.h"
#include "engine/CollationList.h"

namespace quillmark::app {
namespace {

// The lock file's name: the mutex name with every character a file name
// cannot hold replaced.
std::string LockFileName(const std::string& name) {
  std::string file;
  for (const char c : name) file += (c == '/' || c == '\\' || c == '{' || c == '}') ? '_' : c;
  return file + ".lock";
}

std::string RuntimeFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) return runtime;
  std::error_code error;
  return std::filesystem::temp_directory_path(error).string();
}

}  // namespace

SingleInstance::SingleInstance(const std::string& name, const std::string& folder) {
  lockPath_ = (std::filesystem::path(folder.empty() ? RuntimeFolder() : folder) / LockFileName(name)).string();
  fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  acquired_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

SingleInstance::~SingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}

bool StartUp(const SingleInstance& instance, platform::Dialogs& dialogs) {
  if (!instance.acquired()) {
    dialogs.MessageBox(kAnotherInstance, kAppCaption, platform::Icon::kInformation, false);
    return false;
  }
  LoadCollationList();
  return true;
}

}  // namespace quillmark::app
