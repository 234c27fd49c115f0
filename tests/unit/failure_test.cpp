#include "console/failure.h"

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "console/log.h"
#include "recording_sink.h"

namespace {

int WriteOnly() { return open("/dev/null", O_WRONLY); }
int Directory() { return open("/", O_RDONLY | O_DIRECTORY); }
int UnconnectedLocalSocket() { return socket(AF_UNIX, SOCK_STREAM, 0); }
int UnconnectedNetworkSocket() { return socket(AF_INET, SOCK_STREAM, 0); }

// Standard input that the prompt's read fails on, and the exit status that
// the system's error code of that failure gives.
struct FailingStdin {
  const char* name;
  int (*open)();
  int status;
};

void PrintTo(const FailingStdin& stdin_case, std::ostream* out) { *out << stdin_case.name; }

const FailingStdin FAILING_STDINS[] = {
    {"WriteOnly", WriteOnly, 9},                        // EBADF
    {"Directory", Directory, 21 + 131},                 // EISDIR
    {"LocalSocket", UnconnectedLocalSocket, 22 + 131},  // EINVAL
    {"NetworkSocket", UnconnectedNetworkSocket, 107},   // ENOTCONN
};

class PromptOnFailingStdin : public testing::TestWithParam<FailingStdin> {};

TEST_P(PromptOnFailingStdin, EndsWithTheStatusAndTheReport) {
  char location[17];
  std::snprintf(location, sizeof location, "%016" PRIXPTR,
                reinterpret_cast<std::uintptr_t>(&console::Prompt));
  const std::string report = "Runtime error " + std::to_string(GetParam().status) + " at $" +
                             location + "\r\n  $" + location + "\r\n\r\n";
  EXPECT_EXIT(
      {
        dup2(GetParam().open(), STDIN_FILENO);
        dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
        console::Prompt();
      },
      testing::ExitedWithCode(GetParam().status), testing::Eq(report));
}

INSTANTIATE_TEST_SUITE_P(Read, PromptOnFailingStdin, testing::ValuesIn(FAILING_STDINS),
                         [](const auto& info) { return std::string(info.param.name); });

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
