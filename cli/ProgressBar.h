// A one-line progress bar that redraws itself in place on a terminal:
//   Mapping Database Objects [##########..........]  50%
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace quillmark::cli {

class ProgressBar {
 public:
  explicit ProgressBar(std::ostream& out) : out_(out) {}

  void SetText(std::string_view text);
  // A new pass: `text` at 0 of `range`.
  void Start(std::string_view text, std::uint64_t range);
  void SetRange(std::uint64_t range) { range_ = range; }
  void SetPosition(std::uint64_t position);
  // Erases the bar, leaving the cursor at the start of an empty line.
  void Clear();

 private:
  int Percent() const;
  void Draw();

  std::ostream& out_;
  std::string text_;
  std::uint64_t range_ = 0;
  std::uint64_t position_ = 0;
  int shownPercent_ = -1;
  bool drawn_ = false;
};

}  // namespace quillmark::cli
