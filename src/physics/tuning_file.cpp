#include "physics/tuning_file.h"

#include "res/cdata.h"
#include "res/res_file.h"

namespace physics {

TuningFileLoad LoadTuningFile(res::ResourceLayer& layer, const TuningTargets& targets) {
  TuningFileLoad result;
  for (const char* name : {kTuningOverrideName, kTuningTableName}) {
    std::optional<std::vector<uint8_t>> file = res::ResLoadWhole(layer, name);
    if (!file) continue;
    result.file = name;
    res::CDataError error = res::CDataError::kNone;
    std::optional<std::vector<uint8_t>> text = res::CDataDecode(*file, &error);
    if (!text) {
      result.status = TuningFileStatus::kDamaged;
      result.error = std::string(name) + ": " + res::CDataErrorText(error);
      return result;
    }
    LoadTuningText(targets, std::span<const uint8_t>(*text), &result.refused);
    result.status = TuningFileStatus::kLoaded;
    return result;
  }
  return result;
}

bool LoadTuning(res::ResourceLayer& layer, const TuningTargets& targets) {
  return LoadTuningFile(layer, targets).ok();
}

}  // namespace physics
