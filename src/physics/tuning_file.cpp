#include "physics/tuning_file.h"

#include "res/cdata.h"

namespace physics {

bool LoadTuning(res::ResourceLayer& layer, const TuningTargets& targets) {
  auto text = res::CDataLoad(layer, kTuningOverrideName);
  if (!text) text = res::CDataLoad(layer, kTuningTableName);
  if (!text) return false;
  return LoadTuningText(targets, std::span<const uint8_t>(*text));
}

}  // namespace physics
