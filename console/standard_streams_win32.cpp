#include <cstdint>

#include <windows.h>

#include "console/failure.h"
#include "console/standard_streams.h"

namespace console {
namespace {

// Consoles on these code pages may report fewer bytes than they were given,
// counting characters rather than bytes; the write was complete all the same.
bool CountsCharactersNotBytes(HANDLE handle) {
  DWORD mode;
  if (!GetConsoleMode(handle, &mode)) {
    return false;
  }
  switch (GetConsoleOutputCP()) {
    case 1200:
    case 1201:
    case 12000:
    case 12001:
    case 65000:
    case 65001:
      return true;
    default:
      return false;
  }
}

}  // namespace

// Nothing to prepare: the standard handles are used as they are, and the
// console's own modes are left alone.
void PrepareStandardStreams() {}

void WriteStandardOutput(const char* data, std::size_t size) {
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (!WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr) ||
      (written != size && !CountsCharactersNotBytes(handle))) {
    FailConsole(WRITE_FAILURE_STATUS, reinterpret_cast<std::uintptr_t>(&WriteStandardOutput));
  }
}

void WriteStandardError(const char* data, std::size_t size) {
  DWORD written;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), data, static_cast<DWORD>(size), &written, nullptr);
}

ReadResult ReadStandardInput(char* data, std::size_t capacity) {
  DWORD got = 0;
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), data, static_cast<DWORD>(capacity), &got,
                nullptr)) {
    DWORD error = GetLastError();
    // The writer of a pipe has gone: that is the end of the input.
    if (error == ERROR_BROKEN_PIPE) {
      return {true, 0, 0};
    }
    return {false, 0, error};
  }
  return {true, got, 0};
}

}  // namespace console
