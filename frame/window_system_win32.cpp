#include "frame/window_system.h"

#include <string_view>

#include <windows.h>

#include "console/lines.h"
#include "console/log.h"

namespace frame {

namespace {

void LogSystemError(std::string_view prefix) {
  // GetLastError is read only after the prefix is in the line buffer, which
  // makes no system call, so the code is the failed call's own.
  console::ErrorLine(console::Log(), prefix,
                     [](console::LineWriter& out) { out.Unsigned(GetLastError()); });
}

}  // namespace

// Windows hands a drag to the system through the window's own hit test, with
// nothing to prepare, and answers a call about a destroyed window with a
// failed result, never by ending the process.
void PrepareWindowSystem() {}
void TolerateVanishedWindows() {}

void AddSizingFrameStyle(void* native_window) {
  HWND hwnd = static_cast<HWND>(native_window);
  // A style of 0 is what the call returns on failure, and no real window has it.
  LONG style = GetWindowLongA(hwnd, GWL_STYLE);
  if (style == 0) {
    LogSystemError("GetWindowLong failed: ");
    return;
  }
  // The call returns the previous style, which must be the one just read.
  if (SetWindowLongA(hwnd, GWL_STYLE, style | WS_THICKFRAME) != style) {
    LogSystemError("SetWindowLong failed: ");
  }
}

}  // namespace frame
