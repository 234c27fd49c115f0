#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace console {

// Where completed lines go: standard output in the program, a recorder in tests.
class ByteSink {
 public:
  virtual void Write(const char* data, std::size_t size) = 0;

 protected:
  ~ByteSink() = default;
};

// Collects the pieces of one line and hands the whole line to the sink in a
// single write when it ends, so that a reader on a pipe or a file sees
// complete lines as soon as they exist. Only a line longer than the buffer
// leaves in more than one write. The writer never allocates.
class LineWriter {
 public:
  static constexpr std::size_t CAPACITY = 256;

  explicit LineWriter(ByteSink& sink) : sink_(sink) {}
  LineWriter(const LineWriter&) = delete;
  LineWriter& operator=(const LineWriter&) = delete;

  void Text(std::string_view text);
  // A null text writes nothing.
  void Text(const char* text);
  void Unsigned(std::uint64_t value);
  void Signed(std::int64_t value);
  // Pads with spaces on the left up to width; a longer number is written whole.
  void RightAligned(std::uint64_t value, std::size_t width);
  // Exactly 16 upper-case hexadecimal digits.
  void Hex64(std::uint64_t value);
  // CR LF whatever the stream is, then the write.
  void EndLine();

 private:
  void Flush();

  ByteSink& sink_;
  char buffer_[CAPACITY];
  std::size_t used_ = 0;
};

}  // namespace console
