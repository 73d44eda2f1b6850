#pragma once
// Opening a loose file named the way pack entries are named ("RES\UI\X.J24") on
// a case-sensitive file system. See res_file.h for the matching rule.

#include <filesystem>
#include <string_view>

#include "res/resource_layer.h"

namespace res {

// The disk path of a name: backslashes become '/', taken below `root` (the
// current directory when empty). No letter-case matching.
std::filesystem::path LoosePath(const std::filesystem::path& root, std::string_view name);

// Opens the regular file `name` below `root`: the exact path first, else a
// component-by-component match without regard to ASCII letter case. Null when
// nothing matches or the match is not a regular file.
FilePtr LooseFileOpen(const std::filesystem::path& root, std::string_view name, const char* mode);

}  // namespace res
