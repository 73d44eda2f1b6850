#pragma once
// Everything a score server checks before it believes a report: the text's
// length and characters, the four check values, the fixed fields (the number
// 130 and the two zero words), the names' terminators and padding, the sign of
// the score and the names' characters. The game's encoder produces reports
// that pass; anything else was damaged or made by hand.

#include <optional>
#include <string_view>

#include "store/score_report.h"

namespace store {

enum class ReportFault {
  kNone,
  kLength,             // not 208 characters
  kCharacter,          // a character outside the two digit tables (or in the wrong one)
  kScoreCheck,         // offset 8
  kOwnerCheck,         // offset 88
  kFoldCheck,          // offset 92
  kReportCheck,        // offset 96
  kVersion,            // offset 12 is not 130
  kReservedNotZero,    // offsets 16-23
  kOwnerUnterminated,  // the owner name's field is not zero from its end on
  kPlayerUnterminated,
  kNegativeScore,
  kControlCharacter,  // a control character in either name
};

// One sentence for a refusal page or a log line.
std::string_view ReportFaultText(ReportFault f);

struct ReportCheck {
  ReportFault fault = ReportFault::kNone;
  std::optional<DecodedReport> decoded;  // set whenever the text could be decoded
  bool ok() const { return fault == ReportFault::kNone; }
};

// Decodes `text` and checks it in the order listed above; the first fault wins.
ReportCheck CheckReport(std::string_view text);

// True when `name` holds a C0 control character, DEL, or a C1 control
// character written in UTF-8 (U+0080-U+009F).
bool HasControlCharacter(std::string_view name);

}  // namespace store
