// Read-only access to a file with 64-bit offsets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quillmark::platform {

class ReadOnlyFile {
 public:
  // Opens a regular file or a block device for reading; null when the path is
  // missing, unreadable or a folder.
  static std::unique_ptr<ReadOnlyFile> Open(const std::string& path);

  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  std::uint64_t Length() const { return length_; }

  // Reads up to `size` bytes at `offset` into `buffer` and returns how many were
  // read: fewer at the end of the file, none past it or on a read error. Bytes
  // not read are left as they were.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) const;

  // Tells the kernel the file will be read front to back.
  void AdviseSequential() const;

 private:
  ReadOnlyFile(int descriptor, std::uint64_t length) : descriptor_(descriptor), length_(length) {}

  int descriptor_;
  std::uint64_t length_;
};

}  // namespace quillmark::platform
