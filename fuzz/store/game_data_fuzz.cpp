// Feeds arbitrary bytes to the game data file loader. An accepted file must
// save to bytes that load again to the same bytes; a salvaged one must
// save to bytes that pass every check.

#include <cstdint>
#include <cstdlib>
#include <span>

#include "store/game_data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  core::Random15 random{7};
  const store::IdentitySource id{1700000000u, &random};
  store::GameData d;
  const bool accepted = store::ParseGameData(bytes, d, id);
  if (accepted != store::CheckGameData(bytes).ok()) std::abort();
  store::GameData fields;
  if (store::ReadGameDataFields(bytes, fields) != (size >= store::kGameDataImageSize)) std::abort();

  const auto saved = store::SerialiseGameData(d);
  if (saved.size() != store::kGameDataFileSize) std::abort();
  store::GameData again;
  if (!store::ParseGameData(saved, again, id)) std::abort();  // even the defaults must load
  if (store::SerialiseGameData(again) != saved) std::abort();

  // Whatever a damaged file holds, what is salvaged saves to a file that loads.
  store::GameData salvaged;
  store::SalvageGameData(bytes, salvaged, id);
  const auto repaired = store::SerialiseGameData(salvaged);
  if (!store::CheckGameData(repaired).ok()) std::abort();
  for (const auto& name : salvaged.player_names) {
    if (store::CleanName(name, store::kNameFieldSize) != name) std::abort();
  }
  return 0;
}
