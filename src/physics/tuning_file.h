#pragma once
// Reading the table's tuning file through the resource layer: "GFALL.CDC"
// (an override a table author may drop beside the game) is looked up first,
// then the table's own "RES\GFALL.CDA". Both are "CDATA" containers.

#include <string>
#include <vector>

#include "physics/tuning.h"
#include "res/resource_layer.h"

namespace physics {

inline constexpr const char* kTuningOverrideName = "GFALL.CDC";
inline constexpr const char* kTuningTableName = "RES\\GFALL.CDA";

enum class TuningFileStatus {
  kLoaded,   // read to its end (some lines may have been refused)
  kMissing,  // neither file exists: nothing changed
  kDamaged,  // the file found fails its container checks: nothing changed
};

struct TuningFileLoad {
  TuningFileStatus status = TuningFileStatus::kMissing;
  std::string file;                  // the name of the file found
  std::string error;                 // for kDamaged: "RES\GFALL.CDA: CRC mismatch"
  std::vector<std::string> refused;  // lines refused for a value out of range
  bool ok() const { return status == TuningFileStatus::kLoaded; }
};

// Loads the override when there is one, else the table's file. A file that is
// there but damaged is never passed over for the next: the load fails.
TuningFileLoad LoadTuningFile(res::ResourceLayer& layer, const TuningTargets& targets);

// As LoadTuningFile; true when a tuning file was found and read.
bool LoadTuning(res::ResourceLayer& layer, const TuningTargets& targets);

}  // namespace physics
