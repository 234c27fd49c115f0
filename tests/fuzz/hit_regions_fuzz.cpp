// The classification against a plain reference: a 3 x 3 grid of bands, the
// left column and top row winning where they overlap their opposites.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "frame/hit_regions.h"

namespace {

SDL_HitTestResult Reference(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h) {
  static constexpr SDL_HitTestResult GRID[3][3] = {
      {SDL_HITTEST_RESIZE_TOPLEFT, SDL_HITTEST_RESIZE_TOP, SDL_HITTEST_RESIZE_TOPRIGHT},
      {SDL_HITTEST_RESIZE_LEFT, SDL_HITTEST_NORMAL, SDL_HITTEST_RESIZE_RIGHT},
      {SDL_HITTEST_RESIZE_BOTTOMLEFT, SDL_HITTEST_RESIZE_BOTTOM, SDL_HITTEST_RESIZE_BOTTOMRIGHT},
  };
  int column = x < 16 ? 0 : x > w - 16 ? 2 : 1;
  int row = y < 16 ? 0 : y > h - 16 ? 2 : 1;
  if (row == 1 && column == 1) {
    return y < 100 ? SDL_HITTEST_DRAGGABLE : SDL_HITTEST_NORMAL;
  }
  return GRID[row][column];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  auto x = provider.ConsumeIntegral<std::int32_t>();
  auto y = provider.ConsumeIntegral<std::int32_t>();
  auto w = provider.ConsumeIntegral<std::int32_t>();
  auto h = provider.ConsumeIntegral<std::int32_t>();
  if (frame::ClassifyPoint(x, y, w, h) != Reference(x, y, w, h)) std::abort();
  return 0;
}
