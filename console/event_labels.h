#pragma once

#include <cstdint>
#include <string_view>

namespace console {

struct EventLabel {
  std::string_view text;
  bool has_geometry;  // followed by data1,data2
};

// The label of a window event that the log reports, or null for any other
// event type.
const EventLabel* FindEventLabel(std::uint32_t event_type);

}  // namespace console
