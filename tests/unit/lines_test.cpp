#include "console/lines.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "console/event_labels.h"
#include "recording_sink.h"

#include <SDL3/SDL_events.h>

namespace {

struct EventCase {
  std::uint64_t ticks;
  std::uint32_t type;
  std::int32_t data1;
  std::int32_t data2;
  const char* expected;
};

class EventLineTest : public testing::TestWithParam<EventCase> {};

TEST_P(EventLineTest, WritesOneCompleteLineInOneWrite) {
  const EventCase& c = GetParam();
  RecordingSink sink;
  console::LineWriter out(sink);
  const console::EventLabel* label = console::FindEventLabel(c.type);
  ASSERT_NE(label, nullptr);
  if (label->has_geometry) {
    console::EventLine(out, c.ticks, label->text, c.data1, c.data2);
  } else {
    console::EventLine(out, c.ticks, label->text);
  }
  ASSERT_EQ(sink.writes.size(), 1u);
  EXPECT_EQ(sink.writes[0], std::string(c.expected) + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Formats, EventLineTest,
    testing::Values(
        EventCase{0, SDL_EVENT_WINDOW_MOVED, 0, 0, "      0  SDL_EVENT_WINDOW_MOVED: 0,0"},
        EventCase{1234, SDL_EVENT_WINDOW_MOVED, -8, 120, "   1234  SDL_EVENT_WINDOW_MOVED: -8,120"},
        EventCase{56789, SDL_EVENT_WINDOW_MAXIMIZED, 7, 7, "  56789  SDL_EVENT_WINDOW_MAXIMIZED"},
        EventCase{9999999, SDL_EVENT_WINDOW_RESIZED, 640, 480,
                  "9999999  SDL_EVENT_WINDOW_RESIZED: 640,480"},
        EventCase{12345678, SDL_EVENT_WINDOW_RESIZED, 800, 600,
                  "12345678  SDL_EVENT_WINDOW_RESIZED: 800,600"},
        EventCase{UINT64_MAX, SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED, INT32_MIN, INT32_MAX,
                  "18446744073709551615  SDL_EVENT_WINDOW_PIXEL_SIZE_CHANGED: "
                  "-2147483648,2147483647"},
        EventCase{5, SDL_EVENT_WINDOW_MINIMIZED, 0, 0, "      5  SDL_EVENT_WINDOW_MINIMIZED"},
        EventCase{5, SDL_EVENT_WINDOW_RESTORED, 0, 0, "      5  SDL_EVENT_WINDOW_RESTORED"},
        EventCase{5, SDL_EVENT_WINDOW_ENTER_FULLSCREEN, 0, 0,
                  "      5  SDL_EVENT_WINDOW_ENTER_FULLSCREEN"},
        EventCase{5, SDL_EVENT_WINDOW_LEAVE_FULLSCREEN, 0, 0,
                  "      5  SDL_EVENT_WINDOW_LEAVE_FULLSCREEN"}),
    [](const testing::TestParamInfo<EventCase>& info) {
      return "Line" + std::to_string(info.index);
    });

TEST(EventLabels, WindowEventsOutsideTheLogHaveNoLabel) {
  for (std::uint32_t type :
       {SDL_EVENT_WINDOW_SHOWN, SDL_EVENT_WINDOW_HIDDEN, SDL_EVENT_WINDOW_EXPOSED,
        SDL_EVENT_WINDOW_FOCUS_GAINED, SDL_EVENT_WINDOW_MOUSE_ENTER,
        SDL_EVENT_WINDOW_CLOSE_REQUESTED, SDL_EVENT_KEY_DOWN, SDL_EVENT_QUIT}) {
    EXPECT_EQ(console::FindEventLabel(type), nullptr) << type;
  }
}

struct ErrorCase {
  const char* prefix;
  const char* detail;
  const char* expected;
};

TEST(ErrorLine, DetailStandsBetweenQuotesEvenWhenEmptyOrNull) {
  const ErrorCase cases[] = {
      {"SDL_CreateWindow failed: ", "", "SDL_CreateWindow failed: \"\"."},
      {"SDL_CreateWindow failed: ", nullptr, "SDL_CreateWindow failed: \"\"."},
      {"SDL_CreateRenderer failed: ", "Couldn't find \"opengl\"",
       "SDL_CreateRenderer failed: \"Couldn't find \"opengl\"\"."},
      // Bytes are written as they are: no conversion of any character set.
      {"SDL_SetWindowHitTest failed: ", "\xC3\xA9\x01\xFF",
       "SDL_SetWindowHitTest failed: \"\xC3\xA9\x01\xFF\"."},
  };
  for (const ErrorCase& c : cases) {
    RecordingSink sink;
    console::LineWriter out(sink);
    console::ErrorLine(out, c.prefix, [&](console::LineWriter& w) { w.Text(c.detail); });
    ASSERT_EQ(sink.writes.size(), 1u);
    EXPECT_EQ(sink.writes[0], std::string(c.expected) + "\r\n");
  }
}

TEST(ErrorLine, DetailIsFetchedOnlyAfterThePrefixIsInTheLine) {
  RecordingSink sink;
  console::LineWriter out(sink);
  bool fetched = false;
  console::ErrorLine(out, "GetWindowLong failed: ", [&](console::LineWriter& w) {
    fetched = true;
    // Nothing has reached the system yet, so its last error code is intact.
    EXPECT_TRUE(sink.writes.empty());
    w.Unsigned(1400);
  });
  EXPECT_TRUE(fetched);
  EXPECT_EQ(sink.All(), "GetWindowLong failed: \"1400\".\r\n");
}

TEST(LineWriter, LongLinesLeaveInBufferSizedWritesAndShortOnesInOne) {
  struct Case {
    std::size_t text_size;
    std::vector<std::size_t> writes;
  };
  const Case cases[] = {
      {0, {2}},        {254, {256}},  // fills the buffer exactly with its line end
      {255, {256, 1}}, {256, {256, 2}}, {600, {256, 256, 90}},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    console::LineWriter out(sink);
    std::string text(c.text_size, 'x');
    out.Text(text);
    out.EndLine();
    std::vector<std::size_t> sizes;
    for (const std::string& write : sink.writes) {
      sizes.push_back(write.size());
    }
    EXPECT_EQ(sizes, c.writes) << c.text_size;
    EXPECT_EQ(sink.All(), text + "\r\n");
  }
}

TEST(LineWriter, NothingIsHeldBackBetweenLines) {
  RecordingSink sink;
  console::LineWriter out(sink);
  console::PromptLine(out);
  ASSERT_EQ(sink.writes.size(), 1u);
  out.Text("a");
  EXPECT_EQ(sink.writes.size(), 1u);
  out.EndLine();
  EXPECT_EQ(sink.writes, (std::vector<std::string>{"Press ENTER to finish...\r\n", "a\r\n"}));
}

TEST(LineWriter, SignedCoversTheWholeRange) {
  RecordingSink sink;
  console::LineWriter out(sink);
  out.Signed(INT64_MIN);
  out.Text(" ");
  out.Signed(-1);
  out.Text(" ");
  out.Signed(0);
  out.Text(" ");
  out.Hex64(0x00AB'CDEF'0123'4567u);
  out.EndLine();
  EXPECT_EQ(sink.All(), "-9223372036854775808 -1 0 00ABCDEF01234567\r\n");
}

}  // namespace
