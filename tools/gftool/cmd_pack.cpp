// gftool pack OUT.DAT DIR: every regular file under DIR becomes an entry named by
// its path relative to DIR, upper case and backslash-separated. Entries are
// sorted by name, so the same tree always gives the same bytes.

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "command.h"
#include "res/pack.h"
#include "res_util.h"

namespace gftool {
namespace {

namespace fs = std::filesystem;

struct Source {
  std::string name;  // the entry name
  fs::path path;
  std::vector<uint8_t> bytes;
};

// The entry name of a path relative to the packed folder, or "" with a reason.
std::string EntryName(const fs::path& rel, std::string& why) {
  std::string name;
  for (const fs::path& part : rel) {
    std::string p = part.string();
    if (p.find('\\') != std::string::npos) {
      why = "a backslash in a file name cannot be stored";
      return "";
    }
    if (!name.empty()) name += '\\';
    for (char c : p) name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  if (name.size() >= res::kPackNameSize) {
    why = "name longer than 63 characters";
    return "";
  }
  return name;
}

int Pack(Args args) {
  if (args.size() != 2) return Usage("pack");
  const std::string& out = args[0];
  const fs::path root = args[1];
  std::error_code ec;
  if (!fs::is_directory(root, ec)) return Fail(args[1] + ": not a folder");

  std::vector<Source> sources;
  fs::recursive_directory_iterator it(root, ec);
  if (ec) return Fail(args[1] + ": " + ec.message());
  for (; it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (ec) return Fail(args[1] + ": " + ec.message());
    if (!it->is_regular_file(ec)) continue;
    // A pack written into the folder it packs must not swallow its previous self.
    if (fs::equivalent(it->path(), out, ec)) continue;
    const fs::path rel = it->path().lexically_relative(root);
    std::string why;
    std::string name = EntryName(rel, why);
    if (name.empty()) return Fail(rel.string() + ": " + why);
    sources.push_back({std::move(name), it->path(), {}});
  }
  if (sources.empty()) return Fail(args[1] + ": no files to pack");
  std::sort(sources.begin(), sources.end(),
            [](const Source& a, const Source& b) { return a.name < b.name; });
  for (size_t i = 1; i < sources.size(); ++i) {
    if (sources[i].name == sources[i - 1].name) {
      return Fail(sources[i - 1].path.string() + " and " + sources[i].path.string() +
                  " both pack as " + sources[i].name);
    }
  }

  std::vector<res::PackItem> items;
  items.reserve(sources.size());
  for (Source& s : sources) {
    if (!ReadInputFile(s.path.string(), s.bytes)) return 1;
    items.push_back({s.name, s.bytes});
  }
  std::string why;
  std::optional<std::vector<uint8_t>> pack = res::PackBuild(items, &why);
  if (!pack) return Fail(why);
  return WriteFileAtomic(out, *pack) ? 0 : 1;
}

GFTOOL_COMMAND("pack", "pack OUT.DAT DIR", Pack);

}  // namespace
}  // namespace gftool
