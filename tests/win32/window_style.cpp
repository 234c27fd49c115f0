// Prints the style word of the window titled "Window test", as another
// process on the same desktop sees it.
#include <cstdio>

#include <windows.h>

int main() {
  HWND window = FindWindowA(nullptr, "Window test");
  if (window == nullptr) {
    std::printf("no window\n");
    return 1;
  }
  std::printf("%08lX\n", static_cast<unsigned long>(GetWindowLongA(window, GWL_STYLE)));
  return 0;
}
