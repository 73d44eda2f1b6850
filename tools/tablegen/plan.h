#pragma once
// The plan picture: the surface map in false colour with the rules' boxes,
// bands and hit points drawn over it.
#include <cstdint>
#include <vector>

#include "layout.h"

namespace tablegen {
std::vector<uint8_t> DrawPlan(const Layout& layout, const std::vector<uint8_t>& map);
}
