#pragma once

namespace frame {

// What the frame needs of the window system beyond the library's own calls.
// Each system's file says what it does at each of these moments, and a
// system that needs nothing uses the plain file.

// Before the window exists: prepares the library so that every drag of the
// frame that it hands to the window manager is taken over.
void PrepareWindowSystem();

// Once the window exists (the library connects to the window system with
// it): keeps the program running when the window system reports an error
// about a window that another client has destroyed in the meantime.
void TolerateVanishedWindows();

// Adds the system's own sizing-frame style to the native window, where the
// system has one. Failures are logged.
void AddSizingFrameStyle(void* native_window);

}  // namespace frame
