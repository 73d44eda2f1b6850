#include "web.h"

#include <ctime>

namespace server {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Unescape(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= s.size()) return std::nullopt;
      const int hi = HexValue(s[i + 1]);
      const int lo = HexValue(s[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      out += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

// Length of the valid UTF-8 sequence at s[i], or 0.
size_t Utf8Length(std::string_view s, size_t i) {
  const auto b0 = static_cast<uint8_t>(s[i]);
  if (b0 < 0x80) return 1;
  size_t n;
  uint32_t cp;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    n = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    n = 3;
    cp = b0 & 0x0F;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    n = 4;
    cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<uint8_t>(s[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return n;
}

std::tm UtcTime(int64_t ms) {
  int64_t secs = ms / 1000;
  if (ms % 1000 < 0) --secs;
  const auto t = static_cast<std::time_t>(secs);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return tm;
}

std::string Format(const char* fmt, const std::tm& tm) {
  char buf[64];
  const size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
  return std::string(buf, n);
}

constexpr std::string_view kStyle =
    "body{font-family:sans-serif;margin:2em auto;max-width:40em;color:#222}"
    "table{border-collapse:collapse;width:100%}"
    "th,td{padding:.3em .6em;border-bottom:1px solid #ccc;text-align:left}"
    "td.score,th.score,td.rank,th.rank{text-align:right;font-variant-numeric:tabular-nums}";

std::string Page(std::string_view title, std::string_view body) {
  std::string s = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">";
  s += "<meta name=\"viewport\" content=\"width=device-width\"><title>";
  s += EscapeHtml(title);
  s += "</title><style>";
  s += kStyle;
  s += "</style></head>\n<body>\n";
  s += body;
  s += "</body></html>\n";
  return s;
}

}  // namespace

std::optional<QueryParams> ParseQuery(std::string_view query) {
  QueryParams out;
  size_t at = 0;
  while (at <= query.size()) {
    size_t end = query.find('&', at);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view part = query.substr(at, end - at);
    if (!part.empty()) {
      const size_t eq = part.find('=');
      auto key = Unescape(part.substr(0, eq));
      auto value =
          Unescape(eq == std::string_view::npos ? std::string_view() : part.substr(eq + 1));
      if (!key || !value) return std::nullopt;
      out.emplace_back(std::move(*key), std::move(*value));
    }
    at = end + 1;
  }
  return out;
}

std::optional<std::string> QueryValue(const QueryParams& q, std::string_view key, bool* twice) {
  std::optional<std::string> found;
  if (twice) *twice = false;
  for (const auto& [k, v] : q) {
    if (k != key) continue;
    if (found) {
      if (twice) *twice = true;
      return std::nullopt;
    }
    found = v;
  }
  return found;
}

std::string_view QueryOf(std::string_view target) {
  const size_t q = target.find('?');
  if (q == std::string_view::npos) return {};
  std::string_view rest = target.substr(q + 1);
  const size_t hash = rest.find('#');
  return hash == std::string_view::npos ? rest : rest.substr(0, hash);
}

std::string EscapeQueryComponent(std::string_view s) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : s) {
    const auto b = static_cast<uint8_t>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
        b == '_' || b == '.' || b == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    }
  }
  return out;
}

std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const size_t n = Utf8Length(s, i);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string EscapeHtml(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string JsonString(std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : s) {
    const auto b = static_cast<uint8_t>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      out += "\\u00";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string WithThousands(int64_t v) {
  const bool negative = v < 0;
  uint64_t u = negative ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  std::string digits = std::to_string(u);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return negative ? "-" + out : out;
}

std::string IsoTime(int64_t ms) { return Format("%Y-%m-%dT%H:%M:%SZ", UtcTime(ms)); }
std::string IsoDate(int64_t ms) { return Format("%Y-%m-%d", UtcTime(ms)); }

std::string LeaderboardPage(const std::vector<BoardEntry>& entries) {
  std::string body = "<h1>Glimmerfall: best scores</h1>\n";
  if (entries.empty()) {
    body += "<p id=\"empty\">No scores yet.</p>\n";
    return Page("Glimmerfall: best scores", body);
  }
  body +=
      "<table id=\"scores\"><thead><tr><th class=\"rank\">Rank</th><th>Name</th>"
      "<th class=\"score\">Score</th><th>Date</th></tr></thead>\n<tbody>\n";
  for (const auto& e : entries) {
    body += "<tr><td class=\"rank\">" + std::to_string(e.rank) + "</td><td class=\"name\">" +
            EscapeHtml(e.name) + "</td><td class=\"score\">" + WithThousands(e.score) +
            "</td><td class=\"date\">" + IsoDate(e.received_ms) + "</td></tr>\n";
  }
  body += "</tbody></table>\n";
  return Page("Glimmerfall: best scores", body);
}

std::string ScoresJson(const std::vector<BoardEntry>& entries) {
  std::string s = "{\"scores\":[";
  for (size_t i = 0; i < entries.size(); ++i) {
    const auto& e = entries[i];
    if (i) s += ',';
    s += "{\"rank\":" + std::to_string(e.rank) + ",\"name\":" + JsonString(e.name) +
         ",\"score\":" + std::to_string(e.score) + ",\"user\":" + std::to_string(e.user) +
         ",\"received\":\"" + IsoTime(e.received_ms) + "\"}";
  }
  return s + "]}\n";
}

std::string ReceivedPage(const Receipt& r) {
  std::string body = "<h1>Score received</h1>\n<p>Thank you, <span id=\"name\">" +
                     EscapeHtml(r.name) + "</span>: <span id=\"score\">" + WithThousands(r.score) +
                     "</span> points.</p>\n";
  if (!r.owner.empty()) {
    body += "<p>Sent by <span id=\"owner\">" + EscapeHtml(r.owner) + "</span>.</p>\n";
  }
  if (r.best > r.score) {
    body += "<p>Your best, " + WithThousands(r.best) + ", stands at rank <span id=\"rank\">" +
            std::to_string(r.rank) + "</span>.</p>\n";
  } else {
    body += "<p>Rank <span id=\"rank\">" + std::to_string(r.rank) + "</span>.</p>\n";
  }
  body += "<p><a href=\"/\">The best scores</a></p>\n";
  return Page("Score received", body);
}

std::string ErrorPage(int status, std::string_view reason) {
  std::string title;
  switch (status) {
    case 400:
      title = "Report refused";
      break;
    case 404:
      title = "Not found";
      break;
    case 409:
      title = "Report already received";
      break;
    case 413:
      title = "Request too large";
      break;
    case 414:
      title = "Address too long";
      break;
    case 429:
      title = "Too many reports";
      break;
    case 503:
      title = "Scores unavailable";
      break;
    default:
      title = "Error " + std::to_string(status);
  }
  const std::string body = "<h1>" + EscapeHtml(title) + "</h1>\n<p id=\"reason\">" +
                           EscapeHtml(reason) + "</p>\n<p><a href=\"/\">The best scores</a></p>\n";
  return Page(title, body);
}

}  // namespace server
