#pragma once
// Sound recipes: how every sound of the table is synthesised. They are read
// from the JSON files in table/sounds/ (see table/sounds/README.md for the
// fields) so a table author can change a sound without touching code.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace soundgen {

enum class Wave { kSine, kTriangle, kSquare, kSaw, kPulse, kNoise, kPartials };
enum class FilterType { kNone, kLowpass, kHighpass, kBandpass };

struct FilterRecipe {
  FilterType type = FilterType::kNone;
  double freq = 1000;   // Hz at the start
  double freq_end = 0;  // Hz it glides to (0: stays at freq)
  double sweep = 0.05;  // glide time constant, seconds
  double q = 0.707;
};

struct Partial {
  double ratio = 1;  // of the layer's frequency
  double gain = 1;
  double decay = 0;  // seconds to fall by 60 dB; 0: as the layer's envelope
};

// One sound source with its envelope and filter. In an effect, frequencies
// are absolute; in an instrument a layer without `freq` follows the note
// (times `ratio`).
struct Layer {
  Wave wave = Wave::kSine;
  double freq = 0;  // Hz; 0: the note's frequency × ratio
  double ratio = 1;
  double freq_end = 0;   // Hz the pitch glides to (0: none)
  double ratio_end = 0;  // the same relative to the note
  double sweep = 0.05;   // pitch glide time constant, seconds
  double detune = 0;     // cents
  double duty = 0.5;     // pulse width
  double fm_ratio = 0;   // phase modulator frequency / carrier frequency (0: none)
  double fm_index = 0;   // modulation depth in radians at the start
  double fm_decay = 0;   // seconds for the depth to fall by 60 dB (0: constant)
  std::vector<Partial> partials;
  uint32_t seed = 1;  // noise
  // Envelope: linear attack, hold, exponential decay towards sustain
  // (`decay` = seconds to fall by 60 dB; 0 = no decay), release after the
  // note ends (seconds to fall by 60 dB).
  double start = 0;  // seconds after the sound or note begins
  double attack = 0.001;
  double hold = 0;
  double decay = 0;
  double sustain = 1;
  double release = 0.05;
  double gain = 1;
  double drive = 0;  // soft saturation (0: none)
  FilterRecipe filter;
  int repeat = 1;          // copies of the layer
  double every = 0;        // seconds between copies
  double repeat_gain = 1;  // gain factor from one copy to the next
};

struct Format {
  bool wave = false;  // a plain RIFF PCM file instead of a compressed one
  int rate = 32000;
  int kbps = 64;
  bool stereo = false;
};

// A sound effect: layers mixed over `length` seconds, scaled to `peak`.
struct EffectRecipe {
  std::string file;  // pack name
  Format format;
  double length = 0.5;
  double peak = 0.7;  // of full scale
  bool loop = false;  // rendered as a seamless loop of `length`
  std::vector<Layer> layers;
};

struct Instrument {
  std::vector<Layer> layers;
};

enum class TrackKind { kChords, kBass, kArp, kNotes, kSteps };

struct Track {
  TrackKind kind = TrackKind::kNotes;
  std::string instrument;
  int octave = 4;       // register: chords centre on C of this octave, bass/arp roots in it
  std::string pattern;  // bass/arp: chord tones with lengths ("1:1 3:0.5 5+:0.5")
  std::string notes;    // notes: "E5:1 G5:0.5 r:0.5 …"
  std::string steps;    // steps: "x...o...x...o..."
  double step = 0.25;   // beats per step or per arp note
  double gate = 0.9;    // fraction of a note's length it is held
  double gain = 0.5;
  double pan = 0;    // −1 left … 1 right
  int from_bar = 0;  // bars [from_bar, to_bar) only; to_bar 0 = to the end
  int to_bar = 0;
  std::string note = "C4";  // steps: the pitch the drum is played at
};

struct Reverb {
  double mix = 0;  // wet level
  double room = 0.7;
  double damp = 0.4;
};

struct MusicRecipe {
  std::string file;
  Format format;
  bool loop = false;
  double tempo = 100;  // beats per minute
  int beats_per_bar = 4;
  double tail = 2;  // seconds after the last bar (not looping)
  // Looping: the beat of the piece the file begins (and loops) at, so the
  // seam can sit in a quiet moment rather than on a downbeat.
  double loop_start = 0;
  double peak = 0.8;
  Reverb reverb;
  std::string chords;  // one chord per bar, or "Am:2 G:2" with beats
  std::map<std::string, Instrument> instruments;
  std::vector<Track> tracks;
};

struct RecipeBook {
  std::vector<EffectRecipe> effects;
  std::vector<MusicRecipe> music;
};

// Reads one JSON recipe file, or every *.json of a folder in name order,
// into `book`. False with a one-line reason (file and field) on any error.
bool LoadRecipes(const std::filesystem::path& path, RecipeBook& book, std::string* error);
// The same from JSON text (for tests); `origin` names it in errors.
bool ParseRecipes(const std::string& text, const std::string& origin, RecipeBook& book,
                  std::string* error);

}  // namespace soundgen
