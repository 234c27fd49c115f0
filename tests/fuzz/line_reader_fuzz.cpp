// The prompt's reader must consume the same bytes however the input is split
// into reads (the fuzzer chooses the splits as well as the bytes), namely
// the line as the line-end rule finds it in the whole input, and it must not
// ask for another read once the bytes it has decide the line.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
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
// Bytes after which no further read may come: the line is decided by then.
std::size_t deciding;

console::ReadResult ReadSplit(char* data, std::size_t capacity) {
  if (delivered >= deciding) std::abort();
  std::size_t size = reads < read_sizes.size() ? read_sizes[reads] : input.size();
  ++reads;
  size = std::min({size, capacity, input.size() - delivered});
  std::memcpy(data, input.data() + delivered, size);
  delivered += size;
  return {true, size, 0};
}

struct Line {
  std::size_t consumed;  // the line and its end
  std::size_t deciding;  // bytes that must be seen to know that
};

// A line ends at LF, at CR LF or at a lone CR; Ctrl-Z ends it unconsumed,
// and so does the end of the input. Stated on the whole input at once.
Line FindLine(const std::string& in) {
  const std::size_t size = in.size();
  const std::size_t end = in.find_first_of("\n\r\x1A");
  if (end == std::string::npos) return {size, size + 1};  // the end of input is read too
  switch (in[end]) {
    case '\x1A':
      return {end, end + 1};
    case '\n':
      return {end + 1, end + 1};
    default:  // CR: the byte after it tells whether LF belongs to the line
      return {end + 1 < size && in[end + 1] == '\n' ? end + 2 : end + 1, end + 2};
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
  const Line line = FindLine(input);
  delivered = 0;
  reads = 0;
  deciding = line.deciding;

  console::LineReader reader(&ReadSplit);
  if (reader.DiscardLine().has_value()) std::abort();
  if (delivered - reader.Buffered() != line.consumed) std::abort();
  return 0;
}
