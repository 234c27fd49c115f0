// Costs of the hot paths: the point classification, the library's hit-test
// callback on a real window, and one event line from formatting to write.
#include <benchmark/benchmark.h>

#include <cstdint>

#include <SDL3/SDL_hints.h>
#include <SDL3/SDL_video.h>
#include <fcntl.h>
#include <unistd.h>

#include "console/line_writer.h"
#include "console/lines.h"
#include "frame/hit_regions.h"
#include "frame/hit_test.h"

namespace {

void BM_ClassifyPoint(benchmark::State& state) {
  std::int32_t x = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(frame::ClassifyPoint(x, x >> 1, 640, 480));
    x = (x + 37) % 700;
  }
}
BENCHMARK(BM_ClassifyPoint);

void BM_HitTest(benchmark::State& state) {
  SDL_SetHint(SDL_HINT_VIDEO_DRIVER, "dummy");
  SDL_Window* window =
      SDL_CreateWindow("Window test", 640, 480, SDL_WINDOW_BORDERLESS | SDL_WINDOW_RESIZABLE);
  if (window == nullptr) {
    state.SkipWithError("no window");
    return;
  }
  SDL_Point point{0, 0};
  for (auto _ : state) {
    benchmark::DoNotOptimize(frame::HitTest(window, &point, nullptr));
    point.x = (point.x + 37) % 700;
    point.y = point.x >> 1;
  }
  SDL_DestroyWindow(window);
}
BENCHMARK(BM_HitTest);

class DevNullSink : public console::ByteSink {
 public:
  DevNullSink() : fd_(open("/dev/null", O_WRONLY | O_CLOEXEC)) {}
  ~DevNullSink() { close(fd_); }
  void Write(const char* data, std::size_t size) override {
    benchmark::DoNotOptimize(write(fd_, data, size));
  }

 private:
  int fd_;
};

class DiscardingSink : public console::ByteSink {
 public:
  void Write(const char* data, std::size_t) override { benchmark::DoNotOptimize(data); }
};

template <class Sink>
void BM_EventLine(benchmark::State& state) {
  Sink sink;
  console::LineWriter out(sink);
  std::uint64_t ticks = 1234;
  for (auto _ : state) {
    console::EventLine(out, ticks++, "  SDL_EVENT_WINDOW_RESIZED: ", 1280, -1024);
  }
}
// Formatting and the write to /dev/null; formatting alone.
BENCHMARK(BM_EventLine<DevNullSink>);
BENCHMARK(BM_EventLine<DiscardingSink>);

// The floor of an event line: the same write of the same bytes, nothing else.
void BM_WriteOnly(benchmark::State& state) {
  DevNullSink sink;
  static constexpr char LINE[] = "   1234  SDL_EVENT_WINDOW_RESIZED: 1280,-1024\r\n";
  for (auto _ : state) {
    sink.Write(LINE, sizeof LINE - 1);
  }
}
BENCHMARK(BM_WriteOnly);

}  // namespace

BENCHMARK_MAIN();
