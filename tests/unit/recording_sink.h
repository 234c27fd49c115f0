#pragma once

#include <string>
#include <vector>

#include "console/line_writer.h"

// Keeps every write apart, so that tests see how the bytes were delivered.
class RecordingSink : public console::ByteSink {
 public:
  void Write(const char* data, std::size_t size) override { writes.emplace_back(data, size); }

  std::string All() const {
    std::string all;
    for (const std::string& write : writes) {
      all += write;
    }
    return all;
  }

  std::vector<std::string> writes;
};
