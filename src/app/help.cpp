#include "app/help.h"

namespace app {

std::string HelpUrl(const std::vector<std::string>& folders, std::string_view topic,
                    const std::function<bool(const std::string&)>& exists) {
  if (topic.substr(0, 3) == "::/") topic.remove_prefix(3);
  std::string_view page = topic, anchor;
  if (size_t hash = topic.find('#'); hash != std::string_view::npos) {
    page = topic.substr(0, hash);
    anchor = topic.substr(hash);
  }
  if (page.empty()) page = "index.htm";
  for (char c : page) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-' || c == '.';
    if (!plain || page.find("..") != std::string_view::npos) return {};
  }
  for (char c : anchor.substr(anchor.empty() ? 0 : 1)) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-';
    if (!plain) return {};
  }
  for (const std::string& folder : folders) {
    if (folder.empty() || folder.front() != '/') continue;  // a URL needs an absolute path
    std::string path = folder;
    if (path.back() != '/') path += '/';
    path += page;
    if (!exists(path)) continue;
    // Every byte but the unreserved ones and the separators is percent-encoded.
    std::string url = "file://";
    for (char c : path) {
      const auto b = static_cast<unsigned char>(c);
      const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                              (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' ||
                              c == '~' || c == '/';
      if (unreserved) {
        url += c;
      } else {
        static constexpr char kHex[] = "0123456789ABCDEF";
        url += '%';
        url += kHex[b >> 4];
        url += kHex[b & 15];
      }
    }
    return url + std::string(anchor);
  }
  return {};
}

}  // namespace app
