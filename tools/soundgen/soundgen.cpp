#include "soundgen/soundgen.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "sound/sound_file.h"
#include "sound/sound_list.h"
#include "sound/wave_file.h"
#include "soundgen/encode.h"

namespace soundgen {

namespace {

bool Fail(std::string* error, const std::string& file, const std::string& why) {
  if (error) *error = file + ": " + why;
  return false;
}

bool IsCompressedName(const std::string& name) {
  for (const sound::SoundListRow& row : sound::kSoundList) {
    if (row.file == name) return row.compressed;
  }
  return true;
}

bool BuildCompressed(const std::string& name, const Format& format, const Pcm& pcm, bool loop,
                     BuiltSound& out, std::string* error) {
  std::string why;
  if (!CheckCompressedFormat(format, &why)) return Fail(error, name, why);
  if (format.wave) return Fail(error, name, "a compressed file cannot have a wave format");
  std::vector<uint8_t> plain;
  if (!EncodeLayer3(pcm, format.kbps, loop, plain, &why)) return Fail(error, name, why);
  if (!CheckFrames(plain, FrameBytes(format), &why)) return Fail(error, name, why);
  sound::XorWithReadKey(plain);
  sound::DecodedSound decoded;
  if (!VerifyCompressed(plain, pcm, loop, decoded, &why)) return Fail(error, name, why);
  out.file = {name, std::move(plain)};
  out.compressed = true;
  out.decoded = std::move(decoded.samples);
  return true;
}

bool BuildWave(const std::string& name, const Pcm& pcm, bool loop, BuiltSound& out,
               std::string* error) {
  std::vector<int16_t> samples = ToInt16(pcm.samples);
  std::vector<uint8_t> bytes =
      sound::WriteWave(samples, static_cast<uint32_t>(pcm.rate), pcm.channels);
  // Read back as the sound slots read it.
  sound::MemorySoundFile file(bytes);
  sound::WaveSound back;
  if (!sound::ReadWave(file, back) || back.samples != samples ||
      back.format.sample_rate != static_cast<uint32_t>(pcm.rate) || back.format.bits != 16) {
    return Fail(error, name, "the wave file does not read back");
  }
  for (int16_t v : samples) {
    if (v >= 32767 || v <= -32768) return Fail(error, name, "clips; lower its peak");
  }
  if (loop && SeamStep(samples, pcm.channels) > StepsNearSeam(samples, pcm.channels, 256)) {
    return Fail(error, name, "the loop clicks at its seam");
  }
  out.file = {name, std::move(bytes)};
  out.compressed = false;
  out.decoded = std::move(samples);
  return true;
}

}  // namespace

std::vector<std::string> SoundFileNames() {
  std::vector<std::string> names;
  for (const sound::SoundListRow& row : sound::kSoundList) {
    std::string n(row.file);
    if (std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  }
  return names;
}

namespace {

// The recipes by file name; false when one names a file outside the list or
// a file has two.
bool IndexBook(const RecipeBook& book, std::map<std::string, const EffectRecipe*>& effects,
               std::map<std::string, const MusicRecipe*>& music, std::string* error) {
  const std::vector<std::string> names = SoundFileNames();
  auto known = [&](const std::string& f) {
    return std::find(names.begin(), names.end(), f) != names.end();
  };
  for (const EffectRecipe& e : book.effects) {
    if (!known(e.file)) return Fail(error, e.file, "is not a file of the sound list");
    if (effects.count(e.file) || music.count(e.file)) return Fail(error, e.file, "has two recipes");
    effects[e.file] = &e;
  }
  for (const MusicRecipe& m : book.music) {
    if (!known(m.file)) return Fail(error, m.file, "is not a file of the sound list");
    if (effects.count(m.file) || music.count(m.file)) return Fail(error, m.file, "has two recipes");
    music[m.file] = &m;
  }
  return true;
}

// The encoder library keeps tables it fills on first use, so encoding and the
// check of each file run one at a time; synthesis (most of the work) runs in
// parallel.
std::mutex g_encode_mutex;

bool BuildIndexed(const std::map<std::string, const EffectRecipe*>& effects,
                  const std::map<std::string, const MusicRecipe*>& music, const std::string& name,
                  BuiltSound& built, std::string* error) {
  built = BuiltSound{};
  Format format;
  bool loop = false;
  if (auto it = effects.find(name); it != effects.end()) {
    built.source = RenderEffect(*it->second);
    format = it->second->format;
    loop = it->second->loop;
  } else if (auto jt = music.find(name); jt != music.end()) {
    std::string why;
    if (!RenderMusic(*jt->second, built.source, &why)) {
      if (error) *error = why;
      return false;
    }
    format = jt->second->format;
    loop = jt->second->loop;
  } else {
    return Fail(error, name, "has no recipe");
  }
  built.loop = loop;
  built.rate = built.source.rate;
  built.channels = built.source.channels;
  const bool compressed = IsCompressedName(name);
  if (!compressed && !format.wave) {
    return Fail(error, name, "is a plain wave file: its format needs \"wave\": true");
  }
  std::lock_guard<std::mutex> lock(g_encode_mutex);
  if (compressed) return BuildCompressed(name, format, built.source, loop, built, error);
  return BuildWave(name, built.source, loop, built, error);
}

}  // namespace

bool BuildSound(const RecipeBook& book, const std::string& name, BuiltSound& out,
                std::string* error) {
  std::map<std::string, const EffectRecipe*> effects;
  std::map<std::string, const MusicRecipe*> music;
  if (!IndexBook(book, effects, music, error)) return false;
  return BuildIndexed(effects, music, name, out, error);
}

bool BuildSounds(const RecipeBook& book, std::vector<BuiltSound>& out, std::string* error) {
  out.clear();
  std::map<std::string, const EffectRecipe*> effects;
  std::map<std::string, const MusicRecipe*> music;
  if (!IndexBook(book, effects, music, error)) return false;
  const std::vector<std::string> names = SoundFileNames();
  // The long pieces first, so the threads finish together; each file is built
  // on its own from its recipe, so the bytes do not depend on the order.
  std::vector<size_t> order(names.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_partition(order.begin(), order.end(),
                        [&](size_t i) { return music.count(names[i]) != 0; });
  std::vector<BuiltSound> built(names.size());
  std::vector<std::string> errors(names.size());
  std::vector<char> ok(names.size(), 0);
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t k = next++; k < order.size(); k = next++) {
      const size_t i = order[k];
      ok[i] = BuildIndexed(effects, music, names[i], built[i], &errors[i]) ? 1 : 0;
    }
  };
  const size_t threads =
      std::clamp<size_t>(std::thread::hardware_concurrency(), 1, std::max<size_t>(1, names.size()));
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& t : pool) t.join();
  // The first failure in list order, whichever thread met it.
  for (size_t i = 0; i < names.size(); ++i) {
    if (!ok[i]) {
      if (error) *error = errors[i];
      return false;
    }
  }
  out = std::move(built);
  return true;
}

std::vector<SoundFileOut> BuildTableSounds(const std::filesystem::path& recipes,
                                           std::string* error) {
  RecipeBook book;
  if (!LoadRecipes(recipes, book, error)) return {};
  std::vector<BuiltSound> built;
  if (!BuildSounds(book, built, error)) return {};
  std::vector<SoundFileOut> out;
  out.reserve(built.size());
  for (BuiltSound& b : built) out.push_back(std::move(b.file));
  return out;
}

}  // namespace soundgen
