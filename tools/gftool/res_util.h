#pragma once
// Helpers shared by the commands.

#include <string>
#include <string_view>
#include <vector>

#include "res/resource_layer.h"

namespace gftool {

// Opens `path` as the layer's only pack, with the loose-file fall-back off so
// lookups see the pack alone. False (with a message) when it is not a usable pack.
bool OpenPackOrFail(res::ResourceLayer& layer, const std::string& path);

// ReadFile that also refuses folders and other non-regular files with a message.
bool ReadInputFile(const std::string& path, std::vector<uint8_t>& out);

// Text from a file between quotes, with control bytes, quotes and backslashes
// written as \xNN so that a hostile file cannot drive the terminal.
std::string Quoted(std::string_view s);

}  // namespace gftool
