// gftool report-decode TEXT: what a score server reads from a report.

#include <cinttypes>
#include <cstdio>
#include <string>

#include "command.h"
#include "res_util.h"
#include "store/report_check.h"
#include "store/score_report.h"

namespace gftool {
namespace {

const char* Verdict(bool ok) { return ok ? "ok" : "FAILS"; }

int Run(Args args) {
  if (args.size() != 1) return Usage("report-decode");
  std::string_view text = args[0];
  // Accept a whole address as well as the bare text.
  const size_t at = text.find(store::kReportPath);
  if (at != std::string_view::npos) text.remove_prefix(at + store::kReportPath.size());
  const store::ReportCheck check = store::CheckReport(text);
  const auto& d = check.decoded;
  if (!d) {
    return Fail("not a report: need 208 characters, alternately from \"" +
                std::string(store::kLowNibbleDigits) + "\" and \"" +
                std::string(store::kHighNibbleDigits) + "\"");
  }
  const auto& r = d->report;
  std::printf("score        %" PRId32 "\n", r.score);
  std::printf("user         %" PRIu32 " (0x%08" PRIX32 ")\n", r.user, r.user);
  std::printf("version      %" PRId32 "\n", r.version);
  std::printf("owner        %s\n", Quoted(r.owner).c_str());
  std::printf("player       %s\n", Quoted(r.player).c_str());
  std::printf("key          0x%08" PRIX32 "\n", r.key);
  std::printf("score crc    0x%08" PRIX32 "  %s\n", r.score_crc, Verdict(d->score_crc_ok));
  std::printf("owner crc    0x%08" PRIX32 "  %s\n", r.owner_crc, Verdict(d->owner_crc_ok));
  std::printf("fold         0x%08" PRIX32 "  %s\n", r.fold, Verdict(d->fold_ok));
  std::printf("crc          0x%08" PRIX32 "  %s\n", r.crc, Verdict(d->crc_ok));
  if (!d->all_ok()) return Fail("report fails its check values");
  // The same checks a score server makes before it stores a report.
  if (!check.ok()) return Fail(std::string(store::ReportFaultText(check.fault)));
  std::printf("verdict      accepted by a score server\n");
  return 0;
}

}  // namespace

GFTOOL_COMMAND("report-decode", "report-decode TEXT", Run);

}  // namespace gftool
