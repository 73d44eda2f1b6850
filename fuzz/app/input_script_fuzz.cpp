// Headless input scripts: any text parses or is refused with a line number.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/headless.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto events =
      app::ParseInputScript(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (events) {
    double last = 0.0;
    for (const app::ScriptEvent& e : *events) {
      if (e.ms < last || e.action < -1 || e.action > 5) std::abort();
      last = e.ms;
    }
  } else if (error.rfind("line ", 0) != 0) {
    std::abort();
  }
  return 0;
}
