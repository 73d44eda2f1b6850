#pragma once
// Helpers shared by the pack and container commands.

#include <string>
#include <vector>

#include "res/resource_layer.h"

namespace gftool {

// Opens `path` as the layer's only pack, with the loose-file fall-back off so
// lookups see the pack alone. False (with a message) when it is not a usable pack.
bool OpenPackOrFail(res::ResourceLayer& layer, const std::string& path);

// ReadFile that also refuses folders and other non-regular files with a message.
bool ReadInputFile(const std::string& path, std::vector<uint8_t>& out);

}  // namespace gftool
