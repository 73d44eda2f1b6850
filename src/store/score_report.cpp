#include "store/score_report.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "core/byte_io.h"
#include "core/crc32.h"
#include "store/web_address.h"

namespace store {

namespace {

constexpr size_t kOwnerOffset = 24;
constexpr size_t kOwnerField = 52;
constexpr size_t kNameField = 12;

std::string_view Cut(std::string_view s, size_t max) {
  return s.substr(0, std::min({s.find('\0'), s.size(), max}));
}

// As Cut, never ending inside a UTF-8 character.
std::string_view CutOnCharacter(std::string_view s, size_t max) {
  std::string_view cut = Cut(s, max);
  if (cut.size() < s.size() && cut.size() == max) {
    size_t end = cut.size();
    while (end > 0 && (static_cast<uint8_t>(s[end]) & 0xC0) == 0x80) --end;
    cut = cut.substr(0, end);
  }
  return cut;
}

uint32_t ScoreCrc(int32_t score) {
  std::array<uint8_t, 4> b{};
  core::StoreU32(b.data(), static_cast<uint32_t>(score) ^ kReportScoreMask);
  return core::Crc32(b);
}

int DigitValue(std::string_view table, char c) {
  const size_t at = table.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

uint32_t FoldChecksum(std::span<const uint8_t> bytes) {
  uint32_t h = kFoldSeed;
  for (uint8_t byte : bytes) {
    const uint32_t b = byte;
    const uint32_t u = b ^ (b << 5) ^ (b << 11) ^ (b << 17) ^ (b << 23);
    h = std::rotl(h, 5) ^ u;
    h = std::rotl(h, 1);
  }
  return h;
}

uint8_t KeystreamByte(size_t p, uint32_t key) {
  const uint32_t c = (key >> (8 * (p % 4))) & 0xFFu;
  const auto q = static_cast<uint32_t>(p);
  return static_cast<uint8_t>((q ^ (q << 3) ^ (q >> 2) ^ c) & 0xFFu);
}

std::array<uint8_t, kReportSize> ReportBytes(const ScoreReport& r) {
  core::ByteWriter w;
  w.I32(r.score);
  w.U32(r.user);
  w.U32(r.score_crc);
  w.I32(r.version);
  w.U32(0);
  w.U32(0);
  w.FixedString(Cut(r.owner, kOwnerNameMax), kOwnerField);
  w.FixedString(Cut(r.player, kReportNameMax), kNameField);
  w.U32(r.owner_crc);
  w.U32(r.fold);
  w.U32(r.crc);
  w.U32(r.key);
  std::array<uint8_t, kReportSize> out{};
  const auto& b = w.bytes();
  std::copy(b.begin(), b.end(), out.begin());
  return out;
}

void SealReport(ScoreReport& r, uint32_t key) {
  r.key = key;
  // Each check value covers the ones set before it.
  auto b = ReportBytes(r);
  r.owner_crc = core::Crc32(std::span(b).subspan(kOwnerOffset, kOwnerField));
  r.score_crc = ScoreCrc(r.score);
  b = ReportBytes(r);
  r.fold = FoldChecksum(std::span(b).first(92));
  b = ReportBytes(r);
  r.crc = core::Crc32(std::span(b).first(96));
}

std::string EncodeReport(ScoreReport& r, uint32_t key) {
  SealReport(r, key);
  auto b = ReportBytes(r);
  for (size_t p = 0; p < kReportScrambled; ++p) b[p] ^= KeystreamByte(p, key);
  std::string text;
  text.reserve(kReportTextSize);
  for (uint8_t v : b) {
    text += kLowNibbleDigits[v & 0x0F];
    text += kHighNibbleDigits[v >> 4];
  }
  return text;
}

std::optional<DecodedReport> DecodeReport(std::string_view text) {
  if (text.size() != kReportTextSize) return std::nullopt;
  DecodedReport d;
  for (size_t i = 0; i < kReportSize; ++i) {
    const int lo = DigitValue(kLowNibbleDigits, text[2 * i]);
    const int hi = DigitValue(kHighNibbleDigits, text[2 * i + 1]);
    if (lo < 0 || hi < 0) return std::nullopt;
    d.bytes[i] = static_cast<uint8_t>(lo | (hi << 4));
  }
  const uint32_t key = core::LoadU32(d.bytes.data() + kReportScrambled);
  for (size_t p = 0; p < kReportScrambled; ++p) d.bytes[p] ^= KeystreamByte(p, key);

  core::ByteReader r(d.bytes);
  ScoreReport& rep = d.report;
  rep.score = r.I32();
  rep.user = r.U32();
  rep.score_crc = r.U32();
  rep.version = r.I32();
  r.Skip(8);
  r.FixedString(kOwnerField, rep.owner);
  r.FixedString(kNameField, rep.player);
  rep.owner_crc = r.U32();
  rep.fold = r.U32();
  rep.crc = r.U32();
  rep.key = r.U32();

  const std::span<const uint8_t> all(d.bytes);
  d.score_crc_ok = rep.score_crc == ScoreCrc(rep.score);
  d.owner_crc_ok = rep.owner_crc == core::Crc32(all.subspan(kOwnerOffset, kOwnerField));
  d.fold_ok = rep.fold == FoldChecksum(all.first(92));
  d.crc_ok = rep.crc == core::Crc32(all.first(96));
  return d;
}

std::string ScoreServerFrom(const char* env_value) {
  if (env_value && *env_value && IsWebAddress(env_value)) return env_value;
  return BuildScoreServerUrl();
}

std::string ScoreServer() { return ScoreServerFrom(std::getenv("GFALL_SCORE_SERVER")); }

std::string ReportAddress(std::string_view server, std::string_view text) {
  while (!server.empty() && server.back() == '/') server.remove_suffix(1);
  std::string url(server);
  url += kReportPath;
  url += text;
  return url;
}

std::string SubmitScore(const ReportSender& sender, int32_t score, std::string_view player_name,
                        uint32_t clock_ms, UrlOpener& opener) {
  ScoreReport report;
  report.score = score;
  report.user = sender.user;
  report.owner = std::string(Cut(sender.owner, kOwnerNameMax));
  report.player = std::string(CutOnCharacter(player_name, kReportNameMax));
  const std::string text = EncodeReport(report, ReportKey(clock_ms));
  std::string url = ReportAddress(sender.server, text);
  if (!opener.OpenUrl(url)) return {};
  return url;
}

}  // namespace store
