#pragma once

// Keeps the program running when the window system reports an error about a
// window that another client has destroyed in the meantime. Called once the
// window exists, since the library connects to the window system with it.
void TolerateVanishedWindows();
