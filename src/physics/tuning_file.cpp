#include "physics/tuning_file.h"

#include "core/file_io.h"
#include "res/cdata.h"
#include "res/res_file.h"

namespace physics {

TuningFileLoad LoadTuningFile(res::ResourceLayer& layer, const TuningTargets& targets) {
  TuningFileLoad result;
  for (const char* name : {kTuningOverrideName, kTuningTableName}) {
    res::ResFile handle;
    if (!res::ResFileOpen(layer, name, "rb", handle)) continue;
    // A tuning file is a few KB; a huge one is refused before it is read.
    if (res::ResFileSize(layer, handle) > static_cast<int64_t>(core::kMaxTuningBytes)) {
      res::ResFileClose(handle);
      result.file = name;
      result.status = TuningFileStatus::kDamaged;
      result.error =
          std::string(name) + ": is larger than " + core::SizeText(core::kMaxTuningBytes);
      return result;
    }
    std::optional<std::vector<uint8_t>> file = res::ResLoadOpen(layer, handle);
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
