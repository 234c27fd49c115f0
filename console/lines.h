#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/line_writer.h"

namespace console {

// Width of the time stamp field that starts every event line.
inline constexpr std::size_t TICKS_WIDTH = 7;

inline constexpr std::string_view PROMPT = "Press ENTER to finish...";

// prefix "detail".   The detail is written by write_detail only after the
// prefix, so that it is fetched at the last moment (an error text or a last
// error code that nothing in between may disturb).
template <class WriteDetail>
void ErrorLine(LineWriter& out, std::string_view prefix, WriteDetail&& write_detail) {
  out.Text(prefix);
  out.Text("\"");
  write_detail(out);
  out.Text("\".");
  out.EndLine();
}

void EventLine(LineWriter& out, std::uint64_t ticks, std::string_view label);
void EventLine(LineWriter& out, std::uint64_t ticks, std::string_view label, std::int32_t data1,
               std::int32_t data2);
void PromptLine(LineWriter& out);

}  // namespace console
