// Feeds arbitrary text to the report checks a score server makes. A report
// that passes must be one the game's encoder makes from the fields read.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/report_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const store::ReportCheck c = store::CheckReport(text);
  if (c.decoded.has_value() !=
      (size == store::kReportTextSize && c.fault != store::ReportFault::kLength &&
       c.fault != store::ReportFault::kCharacter))
    std::abort();
  if (store::ReportFaultText(c.fault).empty()) std::abort();
  if (!c.ok()) return 0;
  const store::ScoreReport& r = c.decoded->report;
  if (r.score < 0 || r.player.size() > store::kReportNameMax ||
      r.owner.size() > store::kOwnerNameMax || store::HasControlCharacter(r.player))
    std::abort();
  store::ScoreReport again = r;
  if (store::EncodeReport(again, r.key) != text) std::abort();
  return 0;
}
