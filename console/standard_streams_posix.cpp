#include <cerrno>
#include <csignal>
#include <cstdint>

#include <fcntl.h>
#include <unistd.h>

#include "console/failure.h"
#include "console/standard_streams.h"

namespace console {
namespace {

// A closed standard descriptor would be handed to the next file the process
// opens (the display connection, say), and the log would then be written into
// it. Occupying the slot with /dev/null opened the other way round keeps the
// number taken while reads and writes on it still fail with EBADF, exactly as
// on the closed descriptor.
void OccupyIfClosed(int fd, int wrong_way) {
  if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
    int placeholder = open("/dev/null", wrong_way | O_CLOEXEC);
    if (placeholder != -1 && placeholder != fd) {
      close(placeholder);
    }
  }
}

}  // namespace

void PrepareStandardStreams() {
  OccupyIfClosed(STDIN_FILENO, O_WRONLY);
  OccupyIfClosed(STDOUT_FILENO, O_RDONLY);
  OccupyIfClosed(STDERR_FILENO, O_RDONLY);
  // A reader that went away must show up as a failed write, not kill us.
  std::signal(SIGPIPE, SIG_IGN);
}

void WriteStandardOutput(const char* data, std::size_t size) {
  ssize_t written;
  do {
    written = write(STDOUT_FILENO, data, size);
  } while (written == -1 && errno == EINTR);
  if (written < 0 || static_cast<std::size_t>(written) != size) {
    FailConsole(WRITE_FAILURE_STATUS, reinterpret_cast<std::uintptr_t>(&WriteStandardOutput));
  }
}

void WriteStandardError(const char* data, std::size_t size) {
  ssize_t written;
  do {
    written = write(STDERR_FILENO, data, size);
  } while (written == -1 && errno == EINTR);
}

ReadResult ReadStandardInput(char* data, std::size_t capacity) {
  ssize_t got;
  do {
    got = read(STDIN_FILENO, data, capacity);
  } while (got == -1 && errno == EINTR);
  if (got < 0) {
    return {false, 0, static_cast<std::uint32_t>(errno)};
  }
  return {true, static_cast<std::size_t>(got), 0};
}

}  // namespace console
