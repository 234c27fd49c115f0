#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "console/standard_streams.h"

namespace console {

// Reads input through a buffer of its own and discards one line: up to LF,
// CR LF (also when the two arrive in separate reads) or a lone CR. Ctrl-Z
// ends the line without being consumed, and so does the end of input. Bytes
// after the line end stay in the buffer.
class LineReader {
 public:
  static constexpr std::size_t CAPACITY = 256;
  using Source = ReadResult (*)(char* data, std::size_t capacity);

  explicit LineReader(Source source) : source_(source) {}

  // The system's error code of a read that failed, or nothing.
  std::optional<std::uint32_t> DiscardLine();

  // Bytes read but not consumed.
  std::size_t Buffered() const { return filled_ - next_; }

 private:
  // False at the end of input or when the read failed (failure_ is set then).
  bool FillIfEmpty();

  Source source_;
  char buffer_[CAPACITY];
  std::size_t next_ = 0;
  std::size_t filled_ = 0;
  std::optional<std::uint32_t> failure_;
};

}  // namespace console
