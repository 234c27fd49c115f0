// The log, the hit test and a turn of the event loop allocate nothing: every
// operator new in the process is counted while they run.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include <SDL3/SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include "app/event_loop.h"
#include "console/event_labels.h"
#include "console/lines.h"
#include "console/log.h"
#include "frame/hit_test.h"

namespace {

std::atomic<bool> counting{false};
std::atomic<int> allocations{0};

// Standard output goes to /dev/null while the real log is written.
class QuietStdout {
 public:
  QuietStdout() : saved_(dup(STDOUT_FILENO)) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    close(null);
  }
  ~QuietStdout() {
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_;
};

template <class Work>
int AllocationsIn(Work&& work) {
  allocations = 0;
  counting = true;
  work();
  counting = false;
  return allocations;
}

std::uint32_t PushQuit(void*, SDL_TimerID, std::uint32_t) {
  SDL_Event quit{};
  quit.type = SDL_EVENT_QUIT;
  SDL_PushEvent(&quit);
  return 0;
}

TEST(Allocations, NoneInTheLogTheHitTestOrTheEventLoop) {
  SDL_SetHint(SDL_HINT_VIDEO_DRIVER, "dummy");
  SDL_Window* window =
      SDL_CreateWindow("Window test", 640, 480, SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  // The dummy driver has no OpenGL; any renderer serves to paint the frames.
  SDL_Renderer* renderer = SDL_CreateRenderer(window, nullptr);
  ASSERT_NE(renderer, nullptr) << SDL_GetError();
  QuietStdout quiet;

  EXPECT_EQ(AllocationsIn([] {
              console::EventLine(console::Log(), 12345678, "  SDL_EVENT_WINDOW_MOVED: ", -8, 120);
              console::LogLibraryError("SDL_SetWindowHitTest failed: ");
            }),
            0);
  EXPECT_EQ(AllocationsIn([&] {
              SDL_Point point{5, 5};
              frame::HitTest(window, &point, nullptr);
            }),
            0);

  // Window events, window keys, frames painted while the queue is empty, quit.
  for (std::uint32_t type : {SDL_EVENT_WINDOW_MOVED, SDL_EVENT_WINDOW_RESIZED,
                             SDL_EVENT_WINDOW_MAXIMIZED, SDL_EVENT_KEY_DOWN}) {
    SDL_Event event{};
    event.type = type;
    event.key.scancode = SDL_SCANCODE_M;
    SDL_PushEvent(&event);
  }
  SDL_AddTimer(100, PushQuit, nullptr);
  EXPECT_EQ(AllocationsIn([&] { app::RunEventLoop(window, renderer); }), 0);

  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
}

}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
  if (counting) {
    ++allocations;
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) {
    return p;
  }
  throw std::bad_alloc();
}

// Out of line, so that no caller sees new and delete meet malloc and free.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }
