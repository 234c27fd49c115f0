#include "console/lines.h"

namespace console {

void EventLine(LineWriter& out, std::uint64_t ticks, std::string_view label) {
  out.RightAligned(ticks, TICKS_WIDTH);
  out.Text(label);
  out.EndLine();
}

void EventLine(LineWriter& out, std::uint64_t ticks, std::string_view label, std::int32_t data1,
               std::int32_t data2) {
  out.RightAligned(ticks, TICKS_WIDTH);
  out.Text(label);
  out.Signed(data1);
  out.Text(",");
  out.Signed(data2);
  out.EndLine();
}

void PromptLine(LineWriter& out) {
  out.Text(PROMPT);
  out.EndLine();
}

}  // namespace console
