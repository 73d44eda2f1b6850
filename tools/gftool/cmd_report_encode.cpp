// gftool report-encode: the text of a score report for a given key.

#include <charconv>
#include <cstdio>
#include <string>

#include "command.h"
#include "store/score_report.h"

namespace gftool {
namespace {

// A whole number in decimal or 0x-hexadecimal, within [lo, hi].
bool ParseNumber(const std::string& s, int64_t lo, int64_t hi, int64_t& out) {
  std::string_view v = s;
  bool negative = false;
  if (!v.empty() && v[0] == '-') {
    negative = true;
    v.remove_prefix(1);
  }
  int base = 10;
  if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    base = 16;
    v.remove_prefix(2);
  }
  uint64_t u = 0;
  auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), u, base);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size() || u > (1ull << 33)) {
    return false;
  }
  const int64_t n = negative ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
  if (n < lo || n > hi) return false;
  out = n;
  return true;
}

int Run(Args args) {
  std::vector<std::string> rest(args.begin(), args.end());
  std::string score_text, name, key_text, user_text = "0", owner;
  const bool have_score = TakeOption(rest, "--score", score_text);
  const bool have_name = TakeOption(rest, "--name", name);
  const bool have_key = TakeOption(rest, "--key", key_text);
  TakeOption(rest, "--user", user_text);
  TakeOption(rest, "--owner", owner);
  if (!have_score || !have_name || !have_key || !rest.empty()) return Usage("report-encode");

  int64_t score = 0, key = 0, user = 0;
  if (!ParseNumber(score_text, INT32_MIN, INT32_MAX, score)) {
    return Fail("--score: not a 32-bit signed number: " + score_text);
  }
  if (!ParseNumber(key_text, 0, UINT32_MAX, key)) {
    return Fail("--key: not a 32-bit unsigned number: " + key_text);
  }
  if (!ParseNumber(user_text, 0, UINT32_MAX, user)) {
    return Fail("--user: not a 32-bit unsigned number: " + user_text);
  }
  store::ScoreReport r;
  r.score = static_cast<int32_t>(score);
  r.user = static_cast<uint32_t>(user);
  r.player = name;
  r.owner = owner;
  std::printf("%s\n", store::EncodeReport(r, static_cast<uint32_t>(key)).c_str());
  return 0;
}

}  // namespace

GFTOOL_COMMAND("report-encode",
               "report-encode --score N --name NAME --key K [--user U] [--owner TEXT]", Run);

}  // namespace gftool
