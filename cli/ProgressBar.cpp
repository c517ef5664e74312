#include "cli/ProgressBar.h"

#include <fmt/format.h>

#include <algorithm>

namespace quillmark::cli {
namespace {

constexpr int kBarWidth = 20;
// Carriage return, then erase to the end of the line.
constexpr const char* kStartOfEmptyLine = "\r\x1b[K";

// The engine's panel texts end in a run of dots ("Mapping Database Objects....").
std::string_view WithoutTrailingDots(std::string_view text) {
  std::size_t end = text.find_last_not_of(". ");
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

void ProgressBar::SetText(std::string_view text) {
  text_ = WithoutTrailingDots(text);
  Draw();
}

void ProgressBar::Start(std::string_view text, std::uint64_t range) {
  range_ = range;
  position_ = 0;
  SetText(text);
}

void ProgressBar::SetPosition(std::uint64_t position) {
  position_ = position;
  if (Percent() != shownPercent_) Draw();
}

void ProgressBar::Clear() {
  if (drawn_) out_ << kStartOfEmptyLine << std::flush;
  drawn_ = false;
  shownPercent_ = -1;
}

int ProgressBar::Percent() const {
  if (range_ == 0) return 0;
  return static_cast<int>(std::min(position_, range_) * 100 / range_);
}

void ProgressBar::Draw() {
  shownPercent_ = Percent();
  const int filled = shownPercent_ * kBarWidth / 100;
  out_ << kStartOfEmptyLine << text_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kBarWidth - filled), '.') << "] " << fmt::format("{:3}%", shownPercent_)
       << std::flush;
  drawn_ = true;
}

}  // namespace quillmark::cli
