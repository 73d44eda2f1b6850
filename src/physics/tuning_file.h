#pragma once
// Reading the table's tuning file through the resource layer: "GFALL.CDC"
// (an override a table author may drop beside the game) is looked up first,
// then the table's own "RES\GFALL.CDA". Both are "CDATA" containers.

#include "physics/tuning.h"
#include "res/resource_layer.h"

namespace physics {

inline constexpr const char* kTuningOverrideName = "GFALL.CDC";
inline constexpr const char* kTuningTableName = "RES\\GFALL.CDA";

// Returns true when a tuning file was found and read to its end. With no file,
// or a container that fails its checks, nothing changes and false is returned.
bool LoadTuning(res::ResourceLayer& layer, const TuningTargets& targets);

}  // namespace physics
