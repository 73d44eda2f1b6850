// gftool sound PACK SLOT OUT.wav [--mix]: decodes the file of a sound slot as
// the game loads it and writes it as a 16-bit wave file. With --mix the slot
// is played once through the game's mixer (centre, full level) and the
// 44.1 kHz stereo output is written instead.

#include <charconv>
#include <iostream>

#include "command.h"
#include "res_util.h"
#include "sound/pack_sound_file.h"
#include "sound/sound_engine.h"
#include "sound/sound_list.h"
#include "sound/wave_file.h"

namespace gftool {
namespace {

// Ten minutes of output at most, whatever the slot holds.
constexpr int kMaxMixSeconds = 600;

int Sound(Args in) {
  std::vector<std::string> args(in.begin(), in.end());
  bool mix = false;
  for (auto it = args.begin(); it != args.end();) {
    if (*it == "--mix") {
      mix = true;
      it = args.erase(it);
    } else {
      ++it;
    }
  }
  if (args.size() != 3) return Usage("sound");
  int slot = -1;
  const std::string& s = args[1];
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), slot);
  if (ec != std::errc() || end != s.data() + s.size() || slot < 0 || slot >= sound::kSlotCount) {
    return Fail("slot must be a number from 0 to 255: " + s);
  }
  const sound::SoundListRow* row = nullptr;
  for (const auto& r : sound::kSoundList) {
    if (r.slot == slot) row = &r;
  }
  if (!row) return Fail("slot " + s + " has no sound in the game's list");
  const std::string name(row->file);

  res::ResourceLayer layer;
  if (!OpenPackOrFail(layer, args[0])) return 1;
  std::unique_ptr<sound::SoundFile> file = sound::OpenPackSoundFile(layer, name);
  if (!file) return Fail(name + ": not in " + args[0]);
  sound::NullAudioDevice device;
  sound::SoundEngine engine;
  engine.Open(&device);
  if (!engine.LoadSlot(slot, row->compressed, name, *file)) {
    return Fail(name + ": cannot be " + (row->compressed ? "decoded" : "read") +
                "; the game leaves slot " + s + " silent");
  }
  const sound::SoundSlot& loaded = engine.slot(slot);
  std::vector<uint8_t> wave;
  if (!mix) {
    wave = sound::WriteWave(loaded.buffer, static_cast<uint32_t>(loaded.sample_rate),
                            loaded.stereo ? 2 : 1);
  } else {
    const int rate = engine.mixer().output_rate();
    std::vector<int16_t> out;
    std::vector<int16_t> block(2 * static_cast<size_t>(rate / 10));
    engine.Play(slot, 0, 0, false, false);
    for (int i = 0; i < kMaxMixSeconds * 10 && engine.IsPlaying(slot); ++i) {
      engine.Render(block);
      out.insert(out.end(), block.begin(), block.end());
    }
    wave = sound::WriteWave(out, static_cast<uint32_t>(rate), 2);
  }
  if (!WriteFileAtomic(args[2], wave)) return 1;
  if (args[2] != "-") {
    std::cout << "slot " << slot << ": " << name << ", " << loaded.sample_rate << " Hz, "
              << (loaded.stereo ? "stereo" : "mono") << ", "
              << loaded.buffer.size() / (loaded.stereo ? 2 : 1) << " sample frames"
              << (mix ? " (mixed at 44.1 kHz stereo)" : "") << "\n";
  }
  return 0;
}

GFTOOL_COMMAND("sound", "sound PACK SLOT OUT.wav [--mix]", Sound);

}  // namespace
}  // namespace gftool
