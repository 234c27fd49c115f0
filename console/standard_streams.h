#pragma once

#include <cstddef>
#include <cstdint>

namespace console {

struct ReadResult {
  bool ok;
  std::size_t count;    // 0 at the end of input
  std::uint32_t error;  // the system's error code when !ok
};

// Called once before anything else, so that the console behaves the same
// whatever the program was started with.
void PrepareStandardStreams();

// Hands bytes to the system in one write. A failed or short write ends the
// program at once with the write-failure status.
void WriteStandardOutput(const char* data, std::size_t size);

// One write; its outcome is ignored since there is nowhere left to report it.
void WriteStandardError(const char* data, std::size_t size);

// One read. A broken pipe counts as the end of input.
ReadResult ReadStandardInput(char* data, std::size_t capacity);

}  // namespace console
