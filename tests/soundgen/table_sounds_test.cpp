// The table's sounds as built from table/sounds: every file decodes through
// the game's own loaders within the buffer rule, is distinct, does not clip,
// the loops join without a click, the music loops are whole pieces, and the
// build is reproducible.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "res/pack.h"
#include "sound/audio_device.h"
#include "sound/compressed_sound.h"
#include "sound/pack_sound_file.h"
#include "sound/sound_engine.h"
#include "sound/sound_file.h"
#include "sound/sound_list.h"
#include "sound/wave_file.h"
#include "soundgen/soundgen.h"

namespace soundgen {
namespace {

std::filesystem::path RecipeDir() {
  const char* src = std::getenv("GFALL_SOURCE_DIR");
  return std::filesystem::path(src ? src : ".") / "table" / "sounds";
}

// The sounds as a tool would get them, built once for the tests that only look.
const std::vector<SoundFileOut>& Built() {
  static const std::vector<SoundFileOut> files = [] {
    std::string error;
    std::vector<SoundFileOut> f = BuildTableSounds(RecipeDir(), &error);
    EXPECT_FALSE(f.empty()) << error;
    return f;
  }();
  return files;
}

struct Played {
  int rate = 0;
  int channels = 0;
  bool compressed = false;
  std::vector<int16_t> pcm;
};

// Duration rule worked out from the stream's first header: whole frames in
// the file times the milliseconds per frame of the header's frequency field.
uint64_t AllowedSamples(std::span<const uint8_t> plain, int channels, int rate) {
  const int mpeg1 = (plain[1] >> 3) & 1;
  const int bi = plain[2] >> 4, fi = (plain[2] >> 2) & 3, pad = (plain[2] >> 1) & 1;
  static constexpr int kKbps[2][15] = {
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
  static constexpr double kMs[3] = {26.1224, 24.0, 36.0};
  const int frame = (mpeg1 ? 144000 : 72000) * kKbps[mpeg1][bi] / rate + pad;
  const double ms = static_cast<double>(plain.size() / static_cast<size_t>(frame)) * kMs[fi];
  return static_cast<uint64_t>(rate * ms * channels * 0.001) + 64;
}

Played Play(const SoundFileOut& f) {
  Played p;
  sound::MemorySoundFile file(f.bytes);
  if (f.name.ends_with(".WAV")) {
    sound::WaveSound w;
    EXPECT_TRUE(sound::ReadWave(file, w)) << f.name;
    p.rate = static_cast<int>(w.format.sample_rate);
    p.channels = w.format.channels;
    p.pcm = w.samples;
    EXPECT_EQ(w.format.bits, 16);
    return p;
  }
  p.compressed = true;
  sound::DecodedSound d;
  sound::DitherRandom rng;
  EXPECT_TRUE(sound::DecodeCompressedSound(file, false, rng, d)) << f.name;
  p.rate = d.sample_rate;
  p.channels = d.channels;
  p.pcm = d.samples;
  std::vector<uint8_t> plain = f.bytes;
  sound::XorWithReadKey(plain);
  EXPECT_EQ(plain[0], 0xFF) << f.name << ": starts with a frame, no tag";
  EXPECT_EQ(d.size / 2, AllowedSamples(plain, d.channels, d.sample_rate)) << f.name;
  EXPECT_LT(d.samples.size(), d.size / 2) << f.name;
  EXPECT_EQ(d.layer, 3) << f.name;
  return p;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  const size_t n = std::min(a.size(), b.size());
  double ab = 0, aa = 0, bb = 0;
  for (size_t i = 0; i < n; ++i) {
    ab += static_cast<double>(a[i]) * b[i];
    aa += static_cast<double>(a[i]) * a[i];
    bb += static_cast<double>(b[i]) * b[i];
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

// One build, looked at from every side (a build takes seconds, so the checks share it).
TEST(TableSounds, EveryListedFileIsBuiltPlaysCleanlyAndIsDistinct) {
  const auto& files = Built();
  ASSERT_EQ(files.size(), 30u);
  std::set<std::string> wanted;
  for (const auto& row : sound::kSoundList) wanted.insert(std::string(row.file));
  std::set<std::string> got;
  for (const auto& f : files) got.insert(f.name);
  EXPECT_EQ(got, wanted);
  EXPECT_EQ(files.front().name, "RES\\WAVE\\MUSIC\\MENU.WAC");  // list order

  std::vector<Played> played;
  for (const auto& f : files) {
    SCOPED_TRACE(f.name);
    Played p = Play(f);
    ASSERT_FALSE(p.pcm.empty());
    const bool music = f.name.find("\\MUSIC\\") != std::string::npos;
    if (!music) {
      EXPECT_EQ(p.channels, 1) << "effects are mono; the position pans them";
    }
    // No clipping, and not uselessly quiet.
    int peak = 0;
    for (int16_t v : p.pcm) peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_LT(peak, 32767);
    EXPECT_GT(peak, 3000);
    played.push_back(std::move(p));
  }
  // Lengths that fit the events: ticks short, loops long enough not to nag.
  auto seconds = [&](const std::string& n) {
    for (size_t i = 0; i < files.size(); ++i) {
      if (files[i].name == n) {
        return static_cast<double>(played[i].pcm.size()) / played[i].channels / played[i].rate;
      }
    }
    return -1.0;
  };
  EXPECT_LT(seconds("RES\\WAVE\\MECH\\SP015.WAC"), 0.15);
  EXPECT_LT(seconds("RES\\WAVE\\MECH\\COUNTER.WAC"), 0.1);
  EXPECT_GE(seconds("RES\\WAVE\\MUSIC\\MENU.WAC"), 45.0);
  EXPECT_GE(seconds("RES\\WAVE\\MUSIC\\JINGLE.WAC"), 45.0);
  EXPECT_LT(seconds("RES\\WAVE\\MUSIC\\PRIZE.WAC"), 8.0);

  // Distinct: no two files alike, and no two sounds that follow each other
  // sample for sample.
  for (size_t i = 0; i < files.size(); ++i) {
    for (size_t j = i + 1; j < files.size(); ++j) {
      EXPECT_NE(files[i].bytes, files[j].bytes) << files[i].name << " / " << files[j].name;
      if (played[i].channels != played[j].channels) continue;
      EXPECT_LT(std::fabs(Correlation(played[i].pcm, played[j].pcm)), 0.8)
          << files[i].name << " sounds like " << files[j].name;
    }
  }
}

// Packed as the table builder packs them, every slot of the list loads
// through the resource layer into the engine, and the menu music starts.
TEST(TableSounds, EverySlotLoadsFromThePack) {
  std::vector<res::PackItem> items;
  for (const auto& f : Built()) items.push_back({f.name, f.bytes});
  std::string error;
  auto pack = res::PackBuild(items, &error);
  ASSERT_TRUE(pack.has_value()) << error;
  res::ResourceLayer layer;
  layer.loose_files = false;
  res::FilePtr stream(fmemopen(pack->data(), pack->size(), "rb"));
  ASSERT_TRUE(stream);
  ASSERT_TRUE(res::PackOpenStream(layer, std::move(stream), "GFALL.DAT", &error)) << error;
  sound::NullAudioDevice device;
  sound::SoundEngine engine;
  ASSERT_TRUE(engine.Open(&device));
  EXPECT_TRUE(engine.LoadSounds(sound::PackSoundFiles(layer)));
  for (const auto& row : sound::kSoundList) {
    EXPECT_FALSE(engine.slot(row.slot).buffer.empty()) << row.slot << " " << row.file;
  }
  EXPECT_EQ(engine.slot(201).stereo, 1);
  EXPECT_EQ(engine.slot(20).sample_rate, 22050);
  EXPECT_TRUE(engine.IsPlaying(sound::kMenuMusicSlot));
}

// Second difference of one channel at frame n of a loop (wrapping round).
double Curvature(const std::vector<int16_t>& pcm, int ch, size_t channels, size_t n) {
  const size_t frames = pcm.size() / channels;
  auto at = [&](size_t f) { return static_cast<double>(pcm[(f % frames) * channels + ch]); };
  return std::fabs(at(n + frames + 1) - 2 * at(n + frames) + at(n + frames - 1));
}

TEST(TableSounds, LoopsJoinWithoutAClick) {
  for (const char* name : {"RES\\WAVE\\MUSIC\\MENU.WAC", "RES\\WAVE\\MUSIC\\JINGLE.WAC",
                           "RES\\WAVE\\MECH\\F_BUZZ.WAV"}) {
    SCOPED_TRACE(name);
    RecipeBook book;
    std::string error;
    ASSERT_TRUE(LoadRecipes(RecipeDir(), book, &error)) << error;
    BuiltSound built;
    ASSERT_TRUE(BuildSound(book, name, built, &error)) << error;
    EXPECT_TRUE(built.loop);
    Played p = Play(built.file);
    const size_t ch = static_cast<size_t>(p.channels);
    const size_t frames = p.pcm.size() / ch;
    for (int c = 0; c < p.channels; ++c) {
      // The step from the last sample to the first is no larger than the
      // steps of the neighbourhood on either side of the seam.
      auto sample = [&](size_t f) {
        return static_cast<int>(p.pcm[f * ch + static_cast<size_t>(c)]);
      };
      const int seam = std::abs(sample(0) - sample(frames - 1));
      int normal = 0;
      for (size_t f = 1; f < 512; ++f)
        normal = std::max(normal, std::abs(sample(f) - sample(f - 1)));
      for (size_t f = frames - 512; f < frames; ++f) {
        normal = std::max(normal, std::abs(sample(f) - sample(f - 1)));
      }
      EXPECT_LE(seam, normal) << "channel " << c;
      // Nor is the bend there sharper than the sharpest bends around it (a
      // click shows as a kink even where the step is small).
      double bend = std::max(Curvature(p.pcm, c, ch, 0), Curvature(p.pcm, c, ch, frames - 1));
      double usual = 0;
      for (size_t f = 1; f < 1024; ++f) {
        usual =
            std::max({usual, Curvature(p.pcm, c, ch, f), Curvature(p.pcm, c, ch, frames - 1 - f)});
      }
      EXPECT_LE(bend, usual) << "channel " << c;
      // The music's last sample meets its first within 1 % of full scale (the
      // hum's steep wave moves further than that from one sample to the next).
      if (built.compressed) {
        EXPECT_LE(seam, 327) << "channel " << c;
      }
    }
  }
}

// Root mean square of frames [from, from + n) over every channel, 0..1.
double Level(const Played& p, size_t from, size_t n) {
  const size_t ch = static_cast<size_t>(p.channels);
  double sum = 0;
  for (size_t i = from * ch; i < (from + n) * ch; ++i)
    sum += static_cast<double>(p.pcm[i]) * p.pcm[i];
  return std::sqrt(sum / static_cast<double>(n * ch)) / 32768.0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The looping music is a piece: its loudness does not jump where the end runs
// into the start (no fade-out, no cut tail, no silent lead-in), and it is not a
// few bars played over and over.
TEST(TableSounds, MusicLoopsArePiecesWithoutAStepAtTheSeam) {
  RecipeBook book;
  std::string error;
  ASSERT_TRUE(LoadRecipes(RecipeDir(), book, &error)) << error;
  for (const char* name : {"RES\\WAVE\\MUSIC\\MENU.WAC", "RES\\WAVE\\MUSIC\\JINGLE.WAC"}) {
    SCOPED_TRACE(name);
    auto it = std::find_if(book.music.begin(), book.music.end(),
                           [&](const MusicRecipe& m) { return m.file == name; });
    ASSERT_NE(it, book.music.end());
    auto file = std::find_if(Built().begin(), Built().end(),
                             [&](const SoundFileOut& f) { return f.name == name; });
    ASSERT_NE(file, Built().end());
    const Played p = Play(*file);
    const size_t frames = p.pcm.size() / static_cast<size_t>(p.channels);
    const double bar_s = 60.0 / it->tempo * it->beats_per_bar;
    const size_t bars =
        static_cast<size_t>(std::llround(static_cast<double>(frames) / p.rate / bar_s));
    ASSERT_GE(bars, 8u);
    const size_t bar = frames / bars, win = static_cast<size_t>(p.rate) / 10;

    // The tenth of a second either side of the seam against the same either
    // side of the same point of every other bar (the file may begin on a
    // pickup, so these are whole bars from the seam rather than bar lines).
    std::vector<double> before, after;
    for (size_t b = 1; b < bars; ++b) {
      before.push_back(Level(p, b * bar - win, win));
      after.push_back(Level(p, b * bar, win));
    }
    const double end = Level(p, frames - win, win), start = Level(p, 0, win);
    EXPECT_GT(end, 0.5 * Median(before));
    EXPECT_LT(end, 2.0 * Median(before));
    EXPECT_GT(start, 0.5 * Median(after));
    EXPECT_LT(start, 2.0 * Median(after));

    // Shifted by any whole number of bars up to half the piece, the left
    // channel does not line up with itself.
    const size_t ch = static_cast<size_t>(p.channels);
    for (size_t k = 1; k <= bars / 2; ++k) {
      const size_t shift = k * bar;
      double ab = 0, aa = 0, bb = 0;
      for (size_t i = 0; i + shift < frames; ++i) {
        const double a = p.pcm[i * ch], b = p.pcm[(i + shift) * ch];
        ab += a * b;
        aa += a * a;
        bb += b * b;
      }
      EXPECT_LT(ab / std::sqrt(aa * bb), 0.9) << "repeats itself after " << k << " bars";
    }
  }
}

TEST(TableSounds, TwoBuildsGiveIdenticalBytes) {
  std::string error;
  std::vector<SoundFileOut> again = BuildTableSounds(RecipeDir(), &error);
  ASSERT_EQ(again.size(), Built().size()) << error;
  for (size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i].name, Built()[i].name);
    EXPECT_TRUE(again[i].bytes == Built()[i].bytes) << again[i].name;
  }
}

}  // namespace
}  // namespace soundgen
