#include "store/report_check.h"

#include <cstdint>

namespace store {

namespace {

constexpr size_t kReservedAt = 16;
constexpr size_t kReservedEnd = 24;
constexpr size_t kOwnerAt = 24;
constexpr size_t kOwnerEnd = 76;
constexpr size_t kPlayerAt = 76;
constexpr size_t kPlayerEnd = 88;

// A name field is its text, a zero, then zeros to the field's end.
bool Terminated(const std::array<uint8_t, kReportSize>& b, size_t at, size_t end) {
  size_t p = at;
  while (p < end && b[p] != 0) ++p;
  if (p == end) return false;
  for (; p < end; ++p) {
    if (b[p] != 0) return false;
  }
  return true;
}

bool InTables(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const std::string_view table = i % 2 ? kHighNibbleDigits : kLowNibbleDigits;
    if (table.find(text[i]) == std::string_view::npos) return false;
  }
  return true;
}

}  // namespace

std::string_view ReportFaultText(ReportFault f) {
  switch (f) {
    case ReportFault::kNone:
      return "The report is sound.";
    case ReportFault::kLength:
      return "The report is not 208 characters long.";
    case ReportFault::kCharacter:
      return "The report holds a character that no report can hold.";
    case ReportFault::kScoreCheck:
      return "The score's check value does not match.";
    case ReportFault::kOwnerCheck:
      return "The owner name's check value does not match.";
    case ReportFault::kFoldCheck:
      return "The report's fold checksum does not match.";
    case ReportFault::kReportCheck:
      return "The report's check value does not match.";
    case ReportFault::kVersion:
      return "The report is not of a version this server knows.";
    case ReportFault::kReservedNotZero:
      return "The report's reserved fields are not zero.";
    case ReportFault::kOwnerUnterminated:
      return "The owner name is not terminated.";
    case ReportFault::kPlayerUnterminated:
      return "The player name is not terminated.";
    case ReportFault::kNegativeScore:
      return "The score is negative.";
    case ReportFault::kControlCharacter:
      return "A name holds a control character.";
  }
  return "The report is refused.";
}

bool HasControlCharacter(std::string_view name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<uint8_t>(name[i]);
    if (b < 0x20 || b == 0x7F) return true;
    if (b == 0xC2 && i + 1 < name.size()) {
      const auto next = static_cast<uint8_t>(name[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

ReportCheck CheckReport(std::string_view text) {
  ReportCheck c;
  if (text.size() != kReportTextSize) {
    c.fault = ReportFault::kLength;
    return c;
  }
  if (!InTables(text)) {
    c.fault = ReportFault::kCharacter;
    return c;
  }
  c.decoded = DecodeReport(text);
  if (!c.decoded) {  // cannot happen after the checks above; refuse all the same
    c.fault = ReportFault::kCharacter;
    return c;
  }
  const DecodedReport& d = *c.decoded;
  const ScoreReport& r = d.report;
  bool reserved_zero = true;
  for (size_t p = kReservedAt; p < kReservedEnd; ++p)
    reserved_zero = reserved_zero && d.bytes[p] == 0;

  if (!d.score_crc_ok)
    c.fault = ReportFault::kScoreCheck;
  else if (!d.owner_crc_ok)
    c.fault = ReportFault::kOwnerCheck;
  else if (!d.fold_ok)
    c.fault = ReportFault::kFoldCheck;
  else if (!d.crc_ok)
    c.fault = ReportFault::kReportCheck;
  else if (r.version != kReportVersion)
    c.fault = ReportFault::kVersion;
  else if (!reserved_zero)
    c.fault = ReportFault::kReservedNotZero;
  else if (!Terminated(d.bytes, kOwnerAt, kOwnerEnd))
    c.fault = ReportFault::kOwnerUnterminated;
  else if (!Terminated(d.bytes, kPlayerAt, kPlayerEnd))
    c.fault = ReportFault::kPlayerUnterminated;
  else if (r.score < 0)
    c.fault = ReportFault::kNegativeScore;
  else if (HasControlCharacter(r.player) || HasControlCharacter(r.owner))
    c.fault = ReportFault::kControlCharacter;
  return c;
}

}  // namespace store
