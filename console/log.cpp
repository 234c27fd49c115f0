#include "console/log.h"

#include <cstdint>

#include <SDL3/SDL_error.h>

#include "console/failure.h"
#include "console/line_reader.h"
#include "console/lines.h"
#include "console/standard_streams.h"

namespace console {
namespace {

class StandardOutputSink : public ByteSink {
 public:
  void Write(const char* data, std::size_t size) override { WriteStandardOutput(data, size); }
};

}  // namespace

LineWriter& Log() {
  static StandardOutputSink sink;
  static LineWriter log(sink);
  return log;
}

void LogLibraryError(std::string_view prefix) {
  ErrorLine(Log(), prefix, [](LineWriter& out) { out.Text(SDL_GetError()); });
}

void Prompt() {
  PromptLine(Log());
  LineReader reader(&ReadStandardInput);
  if (std::optional<std::uint32_t> error = reader.DiscardLine()) {
    FailConsole(ReadFailureStatus(*error), reinterpret_cast<std::uintptr_t>(&Prompt));
  }
}

}  // namespace console
