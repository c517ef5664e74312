// An owned page buffer: 8192 page bytes and one final zero byte.
#pragma once

#include <cstdint>
#include <memory>
#include <new>

#include "engine/PageId.h"

namespace quillmark {

inline constexpr std::size_t kPageBufferSize = kPageSize + 1;

using PageBuffer = std::unique_ptr<std::uint8_t[]>;

// A zero-filled buffer, or null when memory is short.
inline PageBuffer AllocatePageBuffer() {
  return PageBuffer(new (std::nothrow) std::uint8_t[kPageBufferSize]());
}

}  // namespace quillmark
