#include "frame/drag_handover.h"

// Windows hands a drag to the system through the window's own hit test, with
// nothing to prepare.
void PrepareDragHandover() {}
