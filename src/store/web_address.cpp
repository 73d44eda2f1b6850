#include "store/web_address.h"

#include <cctype>

namespace store {

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsWebAddress(std::string_view address) {
  std::string_view rest;
  if (StartsWithNoCase(address, "https://")) {
    rest = address.substr(8);
  } else if (StartsWithNoCase(address, "http://")) {
    rest = address.substr(7);
  } else {
    return false;
  }
  for (char c : address) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F) return false;
    if (std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos) return false;
  }
  // The host: everything up to the path, query or fragment, without a user part.
  const std::string_view host = rest.substr(0, rest.find_first_of("/?#"));
  return !host.empty() && host.find('@') == std::string_view::npos && host.front() != ':';
}

std::string ScoreServerProblem(const char* env_value) {
  if (env_value == nullptr || *env_value == '\0' || IsWebAddress(env_value)) return {};
  return "GFALL_SCORE_SERVER is not an http or https address; the default score server is used";
}

}  // namespace store
