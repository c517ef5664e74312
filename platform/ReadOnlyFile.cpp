#include "platform/ReadOnlyFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

namespace quillmark::platform {

std::unique_ptr<ReadOnlyFile> ReadOnlyFile::Open(const std::string& path) {
  // Non-blocking, so that opening a named pipe returns at once instead of
  // waiting for a writer; only files and block devices are kept.
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return nullptr;
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !(S_ISREG(status.st_mode) || S_ISBLK(status.st_mode)) ||
      ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(descriptor);
    return nullptr;
  }
  std::uint64_t length = static_cast<std::uint64_t>(status.st_size);
  if (S_ISBLK(status.st_mode)) {
    off_t end = ::lseek(descriptor, 0, SEEK_END);
    length = end < 0 ? 0 : static_cast<std::uint64_t>(end);
  }
  return std::unique_ptr<ReadOnlyFile>(new ReadOnlyFile(descriptor, length));
}

ReadOnlyFile::~ReadOnlyFile() { ::close(descriptor_); }

std::size_t ReadOnlyFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const {
  constexpr std::uint64_t kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  std::size_t done = 0;
  auto* bytes = static_cast<unsigned char*>(buffer);
  while (done < size) {
    if (offset > kMaxOffset - done) break;
    ssize_t got = ::pread(descriptor_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void ReadOnlyFile::AdviseSequential() const {
  ::posix_fadvise(descriptor_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

}  // namespace quillmark::platform
