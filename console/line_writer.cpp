#include "console/line_writer.h"

namespace console {
namespace {

constexpr std::size_t MAX_DIGITS = 20;  // 2^64 - 1 has 20 decimal digits

// Writes the digits of value at the end of out and returns where they start.
char* FormatUnsigned(std::uint64_t value, char (&out)[MAX_DIGITS]) {
  char* first = out + MAX_DIGITS;
  do {
    *--first = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return first;
}

}  // namespace

void LineWriter::Text(std::string_view text) {
  while (!text.empty()) {
    if (used_ == CAPACITY) {
      Flush();
    }
    std::size_t room = CAPACITY - used_;
    std::size_t take = text.size() < room ? text.size() : room;
    text.copy(buffer_ + used_, take);
    used_ += take;
    text.remove_prefix(take);
  }
}

void LineWriter::Text(const char* text) {
  if (text != nullptr) {
    Text(std::string_view(text));
  }
}

void LineWriter::Unsigned(std::uint64_t value) { RightAligned(value, 0); }

void LineWriter::Signed(std::int64_t value) {
  if (value < 0) {
    Text("-");
    // Negate in unsigned arithmetic so that the most negative value survives.
    Unsigned(0 - static_cast<std::uint64_t>(value));
  } else {
    Unsigned(static_cast<std::uint64_t>(value));
  }
}

void LineWriter::RightAligned(std::uint64_t value, std::size_t width) {
  char digits[MAX_DIGITS];
  char* first = FormatUnsigned(value, digits);
  std::size_t count = static_cast<std::size_t>(digits + MAX_DIGITS - first);
  for (; width > count; --width) {
    Text(" ");
  }
  Text(std::string_view(first, count));
}

void LineWriter::Hex64(std::uint64_t value) {
  char digits[16];
  for (int i = 15; i >= 0; --i) {
    digits[i] = "0123456789ABCDEF"[value & 0xF];
    value >>= 4;
  }
  Text(std::string_view(digits, sizeof digits));
}

void LineWriter::EndLine() {
  Text("\r\n");
  Flush();
}

void LineWriter::Flush() {
  if (used_ != 0) {
    std::size_t size = used_;
    used_ = 0;
    sink_.Write(buffer_, size);
  }
}

}  // namespace console
