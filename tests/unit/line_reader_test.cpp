#include "console/line_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

// A real pipe whose writer puts the next chunk in just before each read, so
// that every read returns exactly one chunk.
struct ChunkedPipe {
  int fds[2] = {-1, -1};
  std::vector<std::string> chunks;
  std::size_t written = 0;
  std::size_t reads = 0;
};

ChunkedPipe* pipe_under_test;

console::ReadResult ReadChunk(char* data, std::size_t capacity) {
  ChunkedPipe& p = *pipe_under_test;
  ++p.reads;
  if (p.written < p.chunks.size()) {
    const std::string& chunk = p.chunks[p.written++];
    EXPECT_EQ(write(p.fds[1], chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
  } else if (p.fds[1] != -1) {
    close(p.fds[1]);
    p.fds[1] = -1;
  }
  ssize_t got = read(p.fds[0], data, capacity);
  if (got < 0) {
    return {false, 0, static_cast<std::uint32_t>(errno)};
  }
  return {true, static_cast<std::size_t>(got), 0};
}

struct ReaderCase {
  const char* name;
  std::vector<std::string> chunks;
  std::size_t reads;     // reads the reader made
  std::size_t buffered;  // bytes it read but left unconsumed
};

class LineReaderTest : public testing::TestWithParam<ReaderCase> {};

TEST_P(LineReaderTest, DiscardsExactlyOneLine) {
  const ReaderCase& c = GetParam();
  ChunkedPipe p;
  ASSERT_EQ(pipe(p.fds), 0);
  p.chunks = c.chunks;
  pipe_under_test = &p;
  console::LineReader reader(&ReadChunk);
  EXPECT_EQ(reader.DiscardLine(), std::nullopt);
  EXPECT_EQ(p.reads, c.reads);
  EXPECT_EQ(reader.Buffered(), c.buffered);
  close(p.fds[0]);
  if (p.fds[1] != -1) {
    close(p.fds[1]);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, LineReaderTest,
    testing::Values(ReaderCase{"EndOfInput", {}, 1, 0}, ReaderCase{"CrLf", {"abc\r\n"}, 1, 0},
                    ReaderCase{"CrLfThenMore", {"abc\r\nnext\r\n"}, 1, 6},
                    ReaderCase{"Lf", {"abc\nnext"}, 1, 4}, ReaderCase{"EmptyLine", {"\r\nx"}, 1, 1},
                    ReaderCase{"CrThenOtherByteStaysUnread", {"abc\rxyz"}, 1, 3},
                    ReaderCase{"CrLfSplitAcrossReads", {"abc\r", "\nnext"}, 2, 4},
                    ReaderCase{"CrAloneAtEndOfRead", {"abc\r", "xyz"}, 2, 3},
                    ReaderCase{"CrThenEndOfInput", {"abc\r"}, 2, 0},
                    ReaderCase{"OneByteReads", {"a", "b", "c", "\r", "\n", "z"}, 5, 0},
                    ReaderCase{"CtrlZFirstIsNotConsumed",
                               {"\x1A"
                                "abc\n"},
                               1,
                               5},
                    ReaderCase{"CtrlZEndsLineUnconsumed",
                               {"ab\x1A"
                                "cd\n"},
                               1,
                               4},
                    ReaderCase{"CtrlZAfterCr", {"ab\r\x1A"}, 1, 1},
                    ReaderCase{"CtrlZOpensNextRead", {"ab", "\x1A\n"}, 2, 2},
                    ReaderCase{"LineLongerThanBuffer", {std::string(300, 'x') + "\n!"}, 2, 1},
                    ReaderCase{"NoLineEndBeforeEndOfInput", {"abc", "def"}, 3, 0}),
    [](const testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

TEST(LineReader, AFailedReadReportsTheSystemErrorCode) {
  ChunkedPipe p;
  ASSERT_EQ(pipe(p.fds), 0);
  pipe_under_test = &p;
  // Reading the pipe's write end fails as reading a closed descriptor would.
  std::swap(p.fds[0], p.fds[1]);
  console::LineReader reader(&ReadChunk);
  EXPECT_EQ(reader.DiscardLine(), std::optional<std::uint32_t>(EBADF));
  close(p.fds[0]);
  close(p.fds[1]);
}

TEST(LineReader, AFailureInTheMiddleOfALineIsReported) {
  auto abc_then_failure = [](char* data, std::size_t) {
    static int calls = 0;
    if (calls++ == 0) {
      std::memcpy(data, "abc", 3);
      return console::ReadResult{true, 3, 0};
    }
    return console::ReadResult{false, 0, EIO};
  };
  console::LineReader reader(+abc_then_failure);
  EXPECT_EQ(reader.DiscardLine(), std::optional<std::uint32_t>(EIO));
}

}  // namespace
