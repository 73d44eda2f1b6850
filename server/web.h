#pragma once
// The score server's text work that needs neither the network nor a
// database: the query string, HTML and JSON escaping, numbers and dates, and
// the pages themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace server {

using QueryParams = std::vector<std::pair<std::string, std::string>>;

// Splits "a=1&b=x%20y" into its pairs, undoing %XX escapes and '+'. Empty
// when an escape is malformed. A pair without '=' has an empty value.
std::optional<QueryParams> ParseQuery(std::string_view query);

// The value of `key`: empty when absent, and also when it is given twice
// (`twice` is then set), since a duplicated field is ambiguous.
std::optional<std::string> QueryValue(const QueryParams& q, std::string_view key, bool* twice);

// The query part of a request target ("/p?x=1" gives "x=1"; none gives "").
std::string_view QueryOf(std::string_view target);

// Percent-encodes everything but unreserved characters (the inverse of ParseQuery).
std::string EscapeQueryComponent(std::string_view s);

// Text with every invalid UTF-8 sequence replaced by U+FFFD, so it can go
// into JSON, HTML and a PostgreSQL text column.
std::string ValidUtf8(std::string_view s);

std::string EscapeHtml(std::string_view s);
// A JSON string literal, quotes included.
std::string JsonString(std::string_view s);

// 1234567 -> "1,234,567".
std::string WithThousands(int64_t v);

// Milliseconds since 1970 as "2026-12-10T17:00:00Z" / "2026-12-10" (UTC).
std::string IsoTime(int64_t ms);
std::string IsoDate(int64_t ms);

struct BoardEntry {
  int64_t rank = 0;
  std::string name;
  int32_t score = 0;
  uint32_t user = 0;
  int64_t received_ms = 0;
};

std::string LeaderboardPage(const std::vector<BoardEntry>& entries);
std::string ScoresJson(const std::vector<BoardEntry>& entries);

struct Receipt {
  std::string name;
  std::string owner;
  int32_t score = 0;
  int64_t rank = 0;  // the player's place on the leaderboard
  int32_t best = 0;  // the player's best score (may be above this one)
};
std::string ReceivedPage(const Receipt& r);

// A refusal: the status's title and the reason, HTML-escaped.
std::string ErrorPage(int status, std::string_view reason);

}  // namespace server
