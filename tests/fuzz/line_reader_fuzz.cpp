// The prompt's reader must consume the same bytes however the input is split
// into reads: the data is the input, the fuzzer's choice of read sizes too.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/line_reader.h"

namespace {

std::string input;
std::vector<std::size_t> read_sizes;
std::size_t delivered;
std::size_t reads;

console::ReadResult ReadSplit(char* data, std::size_t capacity) {
  std::size_t size = reads < read_sizes.size() ? read_sizes[reads] : input.size();
  ++reads;
  size = std::min({size, capacity, input.size() - delivered});
  std::memcpy(data, input.data() + delivered, size);
  delivered += size;
  return {true, size, 0};
}

// Where the line ends when the whole input is seen at once.
std::size_t LineEnd(const std::string& in) {
  constexpr char CTRL_Z = 0x1A;
  std::size_t i = 0;
  if (in.empty() || in[0] == CTRL_Z) return 0;
  for (;;) {
    char taken = in[i++];
    if (taken == '\n' || i == in.size() || in[i] == CTRL_Z) return i;
    if (taken == '\r') return in[i] == '\n' ? i + 1 : i;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  read_sizes.clear();
  std::size_t splits = provider.ConsumeIntegralInRange<std::size_t>(0, 16);
  for (std::size_t i = 0; i < splits; ++i) {
    // A read of zero bytes is the end of the input, so every read has some.
    read_sizes.push_back(provider.ConsumeIntegralInRange<std::size_t>(1, 300));
  }
  input = provider.ConsumeRemainingBytesAsString();
  delivered = 0;
  reads = 0;

  console::LineReader reader(&ReadSplit);
  if (reader.DiscardLine().has_value()) std::abort();
  if (delivered - reader.Buffered() != LineEnd(input)) std::abort();
  return 0;
}
