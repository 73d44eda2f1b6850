#include "sound/pack_sound_file.h"

#include <algorithm>

namespace sound {

size_t PackSoundFile::Read(uint8_t* dst, size_t n) {
  return res::ResFileRead(layer_, dst, 1, n, file_);
}

size_t PackSoundFile::ReadXor(uint8_t* dst, size_t n) {
  return res::ResFileReadXor(layer_, dst, 1, n, file_);
}

bool PackSoundFile::Skip(uint64_t n) {
  // A loose file's stream would seek past its end without complaint.
  if (n > Remaining()) return false;
  return res::ResFileSeek(layer_, file_, static_cast<int64_t>(n), 1) == 0;
}

uint64_t PackSoundFile::Size() {
  return static_cast<uint64_t>(std::max<int64_t>(res::ResFileSize(layer_, file_), 0));
}

uint64_t PackSoundFile::Remaining() {
  const int64_t size = res::ResFileSize(layer_, file_);
  const int64_t pos = res::ResFileTell(file_);
  return pos < 0 || pos >= size ? 0 : static_cast<uint64_t>(size - pos);
}

std::unique_ptr<SoundFile> OpenPackSoundFile(res::ResourceLayer& layer, const std::string& name) {
  res::ResFile file;
  if (!res::ResFileOpen(layer, name, "rb", file)) return nullptr;
  return std::make_unique<PackSoundFile>(layer, std::move(file));
}

SoundFileOpener PackSoundFiles(res::ResourceLayer& layer) {
  return [&layer](const std::string& name) { return OpenPackSoundFile(layer, name); };
}

bool DecodeFile(res::ResourceLayer& layer, const std::string& name, bool halve, DitherRandom& rng,
                DecodedSound& out) {
  out = DecodedSound{};
  std::unique_ptr<SoundFile> file = OpenPackSoundFile(layer, name);
  return file && DecodeCompressedSound(*file, halve, rng, out);
}

}  // namespace sound
