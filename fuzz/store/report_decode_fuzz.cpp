// Feeds arbitrary text to the score report decoder. A report that verifies
// must carry the fields it was decoded into.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/score_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto d = store::DecodeReport(text);
  if (!d) return 0;
  if (text.size() != store::kReportTextSize) std::abort();
  if (d->report.owner.size() > 52 || d->report.player.size() > 12) std::abort();
  // Encoding the decoded fields again gives a report that verifies.
  store::ScoreReport r = d->report;
  const auto again = store::DecodeReport(store::EncodeReport(r, d->report.key));
  if (!again || !again->all_ok()) std::abort();
  return 0;
}
