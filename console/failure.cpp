#include "console/failure.h"

#include <cstdlib>

#include "console/standard_streams.h"

namespace console {
namespace {

class StandardErrorSink : public ByteSink {
 public:
  void Write(const char* data, std::size_t size) override { WriteStandardError(data, size); }
};

}  // namespace

std::uint32_t ReadFailureStatus(std::uint32_t error) {
  if (error >= 19 && error <= 31) {
    return error + 131;
  }
  switch (error) {
    case 32:
    case 145:
    case 183:
      return 5;
    case 112:
      return 101;
    case 206:
      return 3;
    default:
      return error;
  }
}

void WriteFailureReport(LineWriter& out, std::uint32_t status, std::uint64_t location) {
  out.Text("Runtime error ");
  out.Unsigned(status);
  out.Text(" at $");
  out.Hex64(location);
  out.EndLine();
  out.Text("  $");
  out.Hex64(location);
  out.EndLine();
  out.EndLine();
}

void FailConsole(std::uint32_t status, std::uintptr_t location) {
  StandardErrorSink sink;
  LineWriter report(sink);
  WriteFailureReport(report, status, location);
  std::_Exit(static_cast<int>(status));
}

}  // namespace console
