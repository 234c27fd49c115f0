#include "console/line_reader.h"

namespace console {
namespace {

constexpr char CTRL_Z = 0x1A;

}  // namespace

bool LineReader::FillIfEmpty() {
  if (next_ < filled_) {
    return true;
  }
  ReadResult result = source_(buffer_, CAPACITY);
  next_ = 0;
  filled_ = result.ok ? result.count : 0;
  if (!result.ok) {
    failure_ = result.error;
  }
  return filled_ != 0;
}

std::optional<std::uint32_t> LineReader::DiscardLine() {
  if (!FillIfEmpty() || buffer_[next_] == CTRL_Z) {
    return failure_;
  }
  for (;;) {
    char taken = buffer_[next_++];
    if (taken == '\n' || !FillIfEmpty() || buffer_[next_] == CTRL_Z) {
      return failure_;
    }
    if (taken == '\r') {
      if (buffer_[next_] == '\n') {
        ++next_;
      }
      return failure_;
    }
  }
}

}  // namespace console
