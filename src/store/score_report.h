#pragma once
// The report of a new first place to the on-line score list. The game packs
// the score into 104 bytes with four check values, scrambles them with a key
// taken from the clock, writes them as 208 letters and digits into a web
// address and hands that address to the user's browser.
//
// Report layout, integers little-endian, zero unless set:
//     0 score          4 user number    8 CRC-32 of (score ^ 0x5A7C3E91)   12 130
//    16 zero          20 zero          24 owner name (52, zero at 75)
//    76 player name (12, zero at 87)   88 CRC-32 of bytes 24-75
//    92 fold checksum of bytes 0-91    96 CRC-32 of bytes 0-95   100 report key

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "store/build_urls.h"

namespace store {

inline constexpr size_t kReportSize = 104;
inline constexpr size_t kReportTextSize = 208;
inline constexpr size_t kReportScrambled = 100;  // the key at 100-103 stays plain
inline constexpr size_t kOwnerNameMax = 51;
inline constexpr size_t kReportNameMax = 11;
inline constexpr int32_t kReportVersion = 130;
inline constexpr uint32_t kReportScoreMask = 0x5A7C3E91u;
inline constexpr uint32_t kReportKeyMask = 0x6D19B2C4u;
inline constexpr uint32_t kFoldSeed = 0x84C7F05Du;

// Character of a byte's low four bits, and of its high four bits.
inline constexpr std::string_view kLowNibbleDigits = "K7WD2MHT9AVJRL4Y";
inline constexpr std::string_view kHighNibbleDigits = "Q8ENB5XZC1FPUS6G";

inline constexpr std::string_view kReportPath = "/hico.php?tt=gf&sc=";

struct ScoreReport {
  int32_t score = 0;
  uint32_t user = 0;       // the player identity number of the settings
  uint32_t score_crc = 0;  // CRC-32 of the four bytes of (score ^ kReportScoreMask)
  int32_t version = kReportVersion;
  std::string owner;       // may be empty; at most 51 bytes are sent
  std::string player;      // at most 11 bytes are sent
  uint32_t owner_crc = 0;  // CRC-32 of bytes 24-75
  uint32_t fold = 0;       // fold checksum of bytes 0-91
  uint32_t crc = 0;        // CRC-32 of bytes 0-95
  uint32_t key = 0;
};

// Fold checksum of the report: seed 0x84C7F05D, each byte spread and folded in.
uint32_t FoldChecksum(std::span<const uint8_t> bytes);

// The keystream byte that scrambles report byte p (0-99) under key k.
uint8_t KeystreamByte(size_t p, uint32_t key);

// The report key made from the millisecond clock.
inline uint32_t ReportKey(uint32_t clock_ms) { return clock_ms ^ kReportKeyMask; }

// The 104 plain bytes of a report as it stands (no check value computed).
std::array<uint8_t, kReportSize> ReportBytes(const ScoreReport& r);

// Sets the key and fills in the four check values, each after the ones it covers.
void SealReport(ScoreReport& r, uint32_t key);

// Seals the report with `key`, scrambles it and writes it as 208 characters.
std::string EncodeReport(ScoreReport& r, uint32_t key);

// What a score server gets back from a report text.
struct DecodedReport {
  std::array<uint8_t, kReportSize> bytes{};  // unscrambled
  ScoreReport report;                        // fields read from the bytes
  bool score_crc_ok = false;                 // offset 8
  bool owner_crc_ok = false;                 // offset 88
  bool fold_ok = false;                      // offset 92
  bool crc_ok = false;                       // offset 96
  bool all_ok() const { return score_crc_ok && owner_crc_ok && fold_ok && crc_ok; }
};

// Reverses EncodeReport; empty when the text is not 208 characters of the two tables.
std::optional<DecodedReport> DecodeReport(std::string_view text);

// The score server: $GFALL_SCORE_SERVER when set and not empty, else our default.
std::string ScoreServer();
std::string ScoreServerFrom(const char* env_value);

// server + "/hico.php?tt=gf&sc=" + text (a trailing '/' of the server is dropped).
std::string ReportAddress(std::string_view server, std::string_view text);

// Opens a web address in the user's browser (SDL in the game, a recorder in tests).
class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  // False when the address could not be handed to a browser.
  virtual bool OpenUrl(const std::string& url) = 0;
};

// Who submits, and where to.
struct ReportSender {
  std::string server{BuildScoreServerUrl()};
  uint32_t user = 0;  // the player identity number
  std::string owner;  // may be empty
};

// Builds the report of `score` under `player_name`, keyed from `clock_ms`, and
// opens its address. Returns the address, or empty when opening failed.
std::string SubmitScore(const ReportSender& sender, int32_t score, std::string_view player_name,
                        uint32_t clock_ms, UrlOpener& opener);

}  // namespace store
