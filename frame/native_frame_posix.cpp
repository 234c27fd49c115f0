#include "frame/native_frame.h"

// No native handle is ever published outside Windows, so there is no style to
// add; the missing handle has been reported already.
void AddSizingFrameStyle(void*) {}
