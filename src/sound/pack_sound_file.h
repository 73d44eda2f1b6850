#pragma once
// Sound files read through the game's file layer: from the open resource
// packs, or loose on disk.

#include <memory>
#include <string>

#include "res/res_file.h"
#include "res/resource_layer.h"
#include "sound/compressed_sound.h"
#include "sound/sound_file.h"

namespace sound {

class PackSoundFile final : public SoundFile {
 public:
  // Takes over an open handle and closes it when done.
  PackSoundFile(res::ResourceLayer& layer, res::ResFile file)
      : layer_(layer), file_(std::move(file)) {}
  ~PackSoundFile() override { res::ResFileClose(file_); }
  PackSoundFile(const PackSoundFile&) = delete;
  PackSoundFile& operator=(const PackSoundFile&) = delete;

  size_t Read(uint8_t* dst, size_t n) override;
  size_t ReadXor(uint8_t* dst, size_t n) override;
  bool Skip(uint64_t n) override;
  uint64_t Size() override;
  uint64_t Remaining() override;

 private:
  res::ResourceLayer& layer_;
  res::ResFile file_;
};

// Opens a sound file by name through the layer; null when it cannot be opened.
std::unique_ptr<SoundFile> OpenPackSoundFile(res::ResourceLayer& layer, const std::string& name);
// The opener the sound engine loads its list with (the layer must outlive it).
SoundFileOpener PackSoundFiles(res::ResourceLayer& layer);

// Decodes a compressed sound file by name: opened through the layer, read
// with the XOR read, closed before returning.
bool DecodeFile(res::ResourceLayer& layer, const std::string& name, bool halve, DitherRandom& rng,
                DecodedSound& out);

}  // namespace sound
