#include "console/failure.h"

#include <gtest/gtest.h>

#include "recording_sink.h"

namespace {

TEST(ReadFailureStatus, FollowsTheTableOfSystemErrorCodes) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 0},     {2, 2},    {6, 6},   {9, 9},   {18, 18},   {19, 150},
      {21, 152},  {31, 162}, {32, 5},  {33, 33}, {111, 111}, {112, 101},
      {113, 113}, {145, 5},  {183, 5}, {206, 3}, {207, 207}, {1000, 1000},
  };
  for (const auto& [error, status] : cases) {
    EXPECT_EQ(console::ReadFailureStatus(error), status) << error;
  }
}

TEST(FailureReport, IsThreeLinesEachInAWriteOfItsOwn) {
  RecordingSink sink;
  console::LineWriter out(sink);
  console::WriteFailureReport(out, 101, 0x0000'7F3A'0012'BC40u);
  EXPECT_EQ(sink.writes, (std::vector<std::string>{
                             "Runtime error 101 at $00007F3A0012BC40\r\n",
                             "  $00007F3A0012BC40\r\n",
                             "\r\n",
                         }));
}

}  // namespace
