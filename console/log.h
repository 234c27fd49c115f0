#pragma once

#include <string_view>

#include "console/line_writer.h"

namespace console {

// The program's log on standard output.
LineWriter& Log();

// An error line whose detail is the library's current error text.
void LogLibraryError(std::string_view prefix);

// Writes the exit prompt and waits for one line on standard input.
void Prompt();

}  // namespace console
