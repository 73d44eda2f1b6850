// Feeds arbitrary request targets to the score server's query parsing and
// the page writers. Parsed pairs must survive escaping and parsing again;
// escaped text must hold no markup and valid UTF-8 must stay valid.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "web.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view target(reinterpret_cast<const char*>(data), size);
  const auto q = server::ParseQuery(server::QueryOf(target));
  if (q) {
    std::string rebuilt;
    for (const auto& [k, v] : *q) {
      if (!rebuilt.empty()) rebuilt += '&';
      rebuilt += server::EscapeQueryComponent(k) + "=" + server::EscapeQueryComponent(v);
    }
    const auto again = server::ParseQuery(rebuilt);
    if (!again) std::abort();
    if (*again != *q) std::abort();
    bool twice = false;
    (void)server::QueryValue(*q, "sc", &twice);
  }
  const std::string valid = server::ValidUtf8(target);
  if (server::ValidUtf8(valid) != valid) std::abort();
  const std::string html = server::EscapeHtml(valid);
  if (html.find_first_of("<>\"'") != std::string::npos) std::abort();
  const std::string json = server::JsonString(valid);
  for (char c : json) {
    if (static_cast<unsigned char>(c) < 0x20) std::abort();
  }
  server::BoardEntry e;
  e.name = valid;
  e.score = static_cast<int32_t>(size * 1000);
  const std::string page = server::LeaderboardPage({e});
  if (page.find(html) == std::string::npos) std::abort();
  return 0;
}
