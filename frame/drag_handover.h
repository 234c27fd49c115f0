#pragma once

// Prepares the library, before the window exists, so that every drag of the
// frame that it hands to the window manager is taken over.
void PrepareDragHandover();
