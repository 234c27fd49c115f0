#pragma once

#include <cstdint>

#include "console/line_writer.h"

namespace console {

inline constexpr std::uint32_t WRITE_FAILURE_STATUS = 101;

// The exit status of a failed read, derived from the system's error code.
std::uint32_t ReadFailureStatus(std::uint32_t error);

// The three-line report of a console failure.
void WriteFailureReport(LineWriter& out, std::uint32_t status, std::uint64_t location);

// Reports the failure on standard error and ends the process at once: no
// further line, no release of what is still held, no prompt.
[[noreturn]] void FailConsole(std::uint32_t status, std::uintptr_t location);

}  // namespace console
