#include "soundgen/synth.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numbers>
#include <sstream>

#include "soundgen/det_math.h"

namespace soundgen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kLn1000 = 6.90775527898213705205;  // ln 1000: 60 dB

// Stateless noise: a well-mixed hash of the sample index and the seed, so a
// noise source can be read at any index (and repeat in a loop).
double NoiseAt(uint64_t index, uint32_t seed) {
  uint64_t z = index * 0x9E3779B97F4A7C15ull + (static_cast<uint64_t>(seed) << 32) + seed;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  return static_cast<double>(z >> 11) * (2.0 / 9007199254740992.0) - 1.0;
}

// Band-limited step correction for the saw and pulse waves.
double PolyBlep(double t, double dt) {
  if (dt <= 0) return 0;
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0;
}

double Wrap(double p) { return p - std::floor(p); }

// Topology-preserving state-variable filter.
struct Svf {
  double ic1 = 0, ic2 = 0;
  double a1 = 0, a2 = 0, a3 = 0, k = 1;
  void Set(double fc, double q, int rate) {
    fc = std::clamp(fc, 10.0, 0.45 * rate);
    double g = DetTan(kPi * fc / rate);
    k = 1.0 / q;
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
  }
  double Run(double v0, FilterType type) {
    double v3 = v0 - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2 * v1 - ic1;
    ic2 = 2 * v2 - ic2;
    switch (type) {
      case FilterType::kLowpass:
        return v2;
      case FilterType::kHighpass:
        return v0 - k * v1 - v2;
      case FilterType::kBandpass:
        return v1;
      case FilterType::kNone:
        break;
    }
    return v0;
  }
};

double Glide(double from, double to, double tau, double t) {
  if (to <= 0 || to == from) return from;
  return to + (from - to) * DetExp(-t / tau);
}

// Level of the envelope t seconds into the layer.
double EnvelopeAt(const Layer& l, double t) {
  if (t < 0) return 0;
  if (t < l.attack) return t / l.attack;
  t -= l.attack;
  if (t < l.hold || l.decay <= 0) return 1;
  t -= l.hold;
  return l.sustain + (1 - l.sustain) * DetExp(-kLn1000 * t / l.decay);
}

double Envelope(const Layer& l, double t, double gate) {
  if (gate < 0 || t < gate) return EnvelopeAt(l, t);
  return EnvelopeAt(l, gate) * DetExp(-kLn1000 * (t - gate) / l.release);
}

double QuantiseToLoop(double hz, int rate, size_t loop_len) {
  if (loop_len == 0) return hz;
  double cycles = std::round(hz * static_cast<double>(loop_len) / rate);
  return cycles * rate / static_cast<double>(loop_len);
}

}  // namespace

double LayerSeconds(const Layer& l, double gate_s) {
  double body = gate_s >= 0 ? gate_s + l.release * 1.35  // to about −80 dB
                            : l.attack + l.hold + (l.decay > 0 ? l.decay * 1.35 : 0);
  return l.start + l.every * (l.repeat - 1) + body;
}

void RenderLayer(const Layer& l, double note_hz, int rate, double gate_s, int64_t offset,
                 size_t loop_len, double gain, float* out, size_t out_len) {
  const double base = l.freq > 0 ? l.freq : note_hz * l.ratio;
  const double base_end =
      l.freq_end > 0 ? l.freq_end : (l.ratio_end > 0 ? note_hz * l.ratio_end : 0);
  const double detune = DetExp2(l.detune / 1200.0);
  const double drive_norm = l.drive > 0 ? 1.0 / DetTanh(l.drive) : 1;
  double copy_gain = gain * l.gain;
  for (int copy = 0; copy < l.repeat; ++copy, copy_gain *= l.repeat_gain) {
    const int64_t start =
        offset + static_cast<int64_t>(std::llround((l.start + copy * l.every) * rate));
    // Sample range this copy touches.
    int64_t first = loop_len ? 0 : std::max<int64_t>(start, 0);
    int64_t last = static_cast<int64_t>(out_len);
    if (!loop_len) {
      double seconds = LayerSeconds(l, gate_s) - l.start - l.every * (l.repeat - 1);
      last = std::min<int64_t>(last, start + static_cast<int64_t>(std::ceil(seconds * rate)) + 1);
    }
    if (last <= first) continue;
    double phase = 0, mod_phase = 0;
    std::vector<double> partial_phase(l.partials.size(), 0.0);
    Svf svf;
    const bool sweeping_filter = l.filter.type != FilterType::kNone && l.filter.freq_end > 0;
    if (l.filter.type != FilterType::kNone) svf.Set(l.filter.freq, l.filter.q, rate);
    for (int64_t n = first; n < last; ++n) {
      int64_t local = n - start;
      if (loop_len) {
        local %= static_cast<int64_t>(loop_len);
        if (local < 0) local += static_cast<int64_t>(loop_len);
      } else if (local < 0) {
        continue;
      }
      const double t = static_cast<double>(local) / rate;
      double env = Envelope(l, t, gate_s);
      double hz = QuantiseToLoop(Glide(base, base_end, l.sweep, t) * detune, rate, loop_len);
      double dt = hz / rate;
      double pm = 0;
      if (l.fm_ratio > 0 && l.fm_index > 0) {
        double depth = l.fm_decay > 0 ? l.fm_index * DetExp(-kLn1000 * t / l.fm_decay) : l.fm_index;
        pm = depth * DetSinTurns(mod_phase) / kTwoPi;
        mod_phase = Wrap(mod_phase + QuantiseToLoop(hz * l.fm_ratio, rate, loop_len) / rate);
      }
      const double p = Wrap(phase + pm);
      double v = 0;
      switch (l.wave) {
        case Wave::kSine:
          v = DetSinTurns(p);
          break;
        case Wave::kTriangle:
          v = 1.0 - 4.0 * std::fabs(p - 0.5);
          break;
        case Wave::kSaw:
          v = 2.0 * p - 1.0 - PolyBlep(p, dt);
          break;
        case Wave::kSquare:
        case Wave::kPulse: {
          double duty = l.wave == Wave::kSquare ? 0.5 : l.duty;
          v = p < duty ? 1.0 : -1.0;
          v += PolyBlep(p, dt) - PolyBlep(Wrap(p - duty + 1.0), dt);
          break;
        }
        case Wave::kNoise:
          v = NoiseAt(static_cast<uint64_t>(local), l.seed + static_cast<uint32_t>(copy) * 7919u);
          break;
        case Wave::kPartials:
          for (size_t i = 0; i < l.partials.size(); ++i) {
            const Partial& q = l.partials[i];
            double a = q.gain;
            if (q.decay > 0) a *= DetExp(-kLn1000 * t / q.decay);
            v += a * DetSinTurns(partial_phase[i] + pm);
            partial_phase[i] =
                Wrap(partial_phase[i] + QuantiseToLoop(hz * q.ratio, rate, loop_len) / rate);
          }
          break;
      }
      phase = Wrap(phase + dt);
      if (l.filter.type != FilterType::kNone) {
        if (sweeping_filter && (local & 15) == 0) {
          svf.Set(Glide(l.filter.freq, l.filter.freq_end, l.filter.sweep, t), l.filter.q, rate);
        }
        v = svf.Run(v, l.filter.type);
      }
      if (l.drive > 0) v = DetTanh(l.drive * v) * drive_norm;
      out[n] += static_cast<float>(v * env * copy_gain);
    }
  }
}

namespace {

void Normalise(std::vector<float>& s, double peak) {
  float m = 0;
  for (float v : s) m = std::max(m, std::fabs(v));
  if (m <= 0) return;
  const double g = peak / m;
  for (float& v : s) v = static_cast<float>(v * g);
}

}  // namespace

Pcm RenderEffect(const EffectRecipe& e) {
  Pcm pcm;
  pcm.rate = e.format.rate;
  pcm.channels = 1;
  const size_t len = static_cast<size_t>(std::llround(e.length * e.format.rate));
  if (e.loop) {
    // Run three periods so filters settle on the periodic input, keep the last.
    std::vector<float> run(3 * len, 0.0f);
    for (const Layer& l : e.layers)
      RenderLayer(l, 0, pcm.rate, -1, 0, len, 1.0, run.data(), run.size());
    pcm.samples.assign(run.begin() + static_cast<std::ptrdiff_t>(2 * len), run.end());
  } else {
    pcm.samples.assign(len, 0.0f);
    for (const Layer& l : e.layers)
      RenderLayer(l, 0, pcm.rate, -1, 0, 0, 1.0, pcm.samples.data(), len);
    // A short fade at the end so a cut tail never clicks.
    const size_t fade = std::min<size_t>(len, static_cast<size_t>(pcm.rate / 200));
    for (size_t i = 0; i < fade; ++i) {
      pcm.samples[len - 1 - i] *= static_cast<float>(i) / static_cast<float>(fade);
    }
  }
  Normalise(pcm.samples, e.peak);
  return pcm;
}

int NoteNumber(const std::string& name) {
  if (name.size() < 2) return -1;
  static constexpr int kPc[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
  char c = name[0];
  if (c < 'A' || c > 'G') return -1;
  int pc = kPc[c - 'A'];
  size_t i = 1;
  while (i < name.size() && (name[i] == '#' || name[i] == 'b')) pc += name[i++] == '#' ? 1 : -1;
  if (i >= name.size()) return -1;
  int octave = 0;
  bool neg = false;
  if (name[i] == '-') {
    neg = true;
    ++i;
  }
  if (i + 1 != name.size() || name[i] < '0' || name[i] > '9') return -1;
  octave = (name[i] - '0') * (neg ? -1 : 1);
  int n = 12 * (octave + 1) + pc;
  return n >= 0 && n <= 127 ? n : -1;
}

bool ParseChord(const std::string& name, Chord& out) {
  static constexpr int kPc[7] = {9, 11, 0, 2, 4, 5, 7};
  if (name.empty() || name[0] < 'A' || name[0] > 'G') return false;
  auto pitch_class = [](const std::string& s, size_t& i) {
    int pc = kPc[s[i] - 'A'];
    ++i;
    while (i < s.size() && (s[i] == '#' || s[i] == 'b')) pc += s[i++] == '#' ? 1 : -1;
    return ((pc % 12) + 12) % 12;
  };
  size_t i = 0;
  Chord c;
  c.root = pitch_class(name, i);
  size_t slash = name.find('/', i);
  std::string quality = name.substr(i, slash == std::string::npos ? std::string::npos : slash - i);
  c.bass = c.root;
  if (slash != std::string::npos) {
    size_t j = slash + 1;
    if (j >= name.size() || name[j] < 'A' || name[j] > 'G') return false;
    c.bass = pitch_class(name, j);
    if (j != name.size()) return false;
  }
  static const std::array<std::pair<const char*, std::vector<int>>, 19> kQualities = {{
      {"", {0, 4, 7}},           {"m", {0, 3, 7}},
      {"7", {0, 4, 7, 10}},      {"maj7", {0, 4, 7, 11}},
      {"m7", {0, 3, 7, 10}},     {"sus2", {0, 2, 7}},
      {"sus4", {0, 5, 7}},       {"7sus4", {0, 5, 7, 10}},
      {"dim", {0, 3, 6}},        {"aug", {0, 4, 8}},
      {"6", {0, 4, 7, 9}},       {"m6", {0, 3, 7, 9}},
      {"add9", {0, 4, 7, 14}},   {"madd9", {0, 3, 7, 14}},
      {"9", {0, 4, 7, 10, 14}},  {"maj9", {0, 4, 7, 11, 14}},
      {"m9", {0, 3, 7, 10, 14}}, {"dim7", {0, 3, 6, 9}},
      {"m7b5", {0, 3, 6, 10}},
  }};
  for (const auto& [q, iv] : kQualities) {
    if (quality == q) {
      c.intervals = iv;
      out = c;
      return true;
    }
  }
  return false;
}

namespace {

struct ChordSpan {
  double beat = 0;
  double beats = 0;
  Chord chord;
};

struct NoteEvent {
  double beat = 0;
  double beats = 0;  // sounding length before the gate
  int midi = 60;
  double velocity = 1;
};

std::vector<std::string> Tokens(const std::string& s) {
  std::vector<std::string> out;
  std::istringstream in(s);
  std::string t;
  while (in >> t) {
    if (t != "|") out.push_back(t);
  }
  return out;
}

// "tok:beats" → (tok, beats); beats = fallback without a colon.
bool SplitLength(const std::string& token, double fallback, std::string& head, double& beats) {
  size_t colon = token.find(':');
  head = token.substr(0, colon);
  beats = fallback;
  if (colon == std::string::npos) return !head.empty();
  try {
    size_t used = 0;
    beats = std::stod(token.substr(colon + 1), &used);
    if (used != token.size() - colon - 1) return false;
  } catch (...) {
    return false;
  }
  return !head.empty() && beats > 0 && beats <= 1024;
}

// A chord tone like "1", "3", "2+", "1-": the n-th tone of the chord from the
// bottom (1 = root, or the slash bass when `use_bass`), octaves up/down.
bool ChordTone(const std::string& tok, const Chord& chord, int root_midi, bool use_bass,
               int& midi) {
  size_t i = 0;
  while (i < tok.size() && tok[i] >= '0' && tok[i] <= '9') ++i;
  if (i == 0 || i > 2) return false;
  int n = std::stoi(tok.substr(0, i));
  if (n < 1) return false;
  int shift = 0;
  for (; i < tok.size(); ++i) {
    if (tok[i] == '+') {
      shift += 12;
    } else if (tok[i] == '-') {
      shift -= 12;
    } else {
      return false;
    }
  }
  const int count = static_cast<int>(chord.intervals.size());
  int idx = (n - 1) % count;
  int octave = (n - 1) / count;
  int interval = chord.intervals[static_cast<size_t>(idx)] + 12 * octave;
  if (n == 1 && use_bass) {
    interval = ((chord.bass - chord.root) % 12 + 12) % 12;
    if (interval > 5) interval -= 12;  // the slash bass sits below the root when closer
  }
  midi = root_midi + interval + shift;
  return midi >= 0 && midi <= 127;
}

bool TrackEvents(const Track& t, const std::vector<ChordSpan>& chords, double total_beats,
                 int beats_per_bar, std::vector<NoteEvent>& events, std::string& why) {
  switch (t.kind) {
    case TrackKind::kChords: {
      std::vector<std::string> rhythm = Tokens(t.pattern);
      const int center = 12 * (t.octave + 1) + 6;
      for (const ChordSpan& c : chords) {
        // Each tone in the octave around the centre: close voicing that moves little.
        std::vector<int> voicing;
        for (int iv : c.chord.intervals) {
          int pc = (c.chord.root + iv) % 12;
          int m = center - 6 + ((pc - (center - 6)) % 12 + 12) % 12;
          voicing.push_back(m);
        }
        std::sort(voicing.begin(), voicing.end());
        voicing.erase(std::unique(voicing.begin(), voicing.end()), voicing.end());
        auto add = [&](double beat, double beats) {
          for (int m : voicing) events.push_back({beat, beats, m, 1.0});
        };
        if (rhythm.empty()) {
          add(c.beat, c.beats);
          continue;
        }
        double b = c.beat;
        for (size_t k = 0; b < c.beat + c.beats - 1e-9; k = (k + 1) % rhythm.size()) {
          std::string head;
          double beats = 0;
          if (!SplitLength(rhythm[k], t.step, head, beats)) {
            why = "bad rhythm token \"" + rhythm[k] + "\"";
            return false;
          }
          beats = std::min(beats, c.beat + c.beats - b);
          if (head == "x") {
            add(b, beats);
          } else if (head != "r") {
            why = "chord rhythm tokens are x or r, not \"" + head + "\"";
            return false;
          }
          b += beats;
        }
      }
      return true;
    }
    case TrackKind::kBass:
    case TrackKind::kArp: {
      std::vector<std::string> toks = Tokens(t.pattern);
      if (toks.empty()) {
        why = "empty pattern";
        return false;
      }
      for (const ChordSpan& c : chords) {
        const int root_midi = 12 * (t.octave + 1) + c.chord.root;
        double b = c.beat;
        for (size_t k = 0; b < c.beat + c.beats - 1e-9; k = (k + 1) % toks.size()) {
          std::string head;
          double beats = 0;
          if (!SplitLength(toks[k], t.step, head, beats)) {
            why = "bad pattern token \"" + toks[k] + "\"";
            return false;
          }
          beats = std::min(beats, c.beat + c.beats - b);
          if (head != "r") {
            int midi = 0;
            if (!ChordTone(head, c.chord, root_midi, t.kind == TrackKind::kBass, midi)) {
              why = "bad chord tone \"" + head + "\"";
              return false;
            }
            events.push_back({b, beats, midi, 1.0});
          }
          b += beats;
        }
      }
      return true;
    }
    case TrackKind::kNotes: {
      double b = 0;
      for (const std::string& tok : Tokens(t.notes)) {
        std::string head;
        double beats = 0;
        if (!SplitLength(tok, 1, head, beats)) {
          why = "bad note \"" + tok + "\"";
          return false;
        }
        // A trailing '!' accents the note, a '.' plays it softly.
        double velocity = 1;
        if (head.size() > 1 && head.back() == '!') {
          velocity = 1.25;
          head.pop_back();
        } else if (head.size() > 1 && head.back() == '.') {
          velocity = 0.7;
          head.pop_back();
        }
        if (head != "r") {
          int midi = NoteNumber(head);
          if (midi < 0) {
            why = "bad note name \"" + head + "\"";
            return false;
          }
          events.push_back({b, beats, midi, velocity});
        }
        b += beats;
      }
      if (b > total_beats + 1e-6) {
        why = "the notes run " + std::to_string(b) + " beats, longer than the chords (" +
              std::to_string(total_beats) + ")";
        return false;
      }
      return true;
    }
    case TrackKind::kSteps: {
      int midi = NoteNumber(t.note);
      if (midi < 0) {
        why = "bad note \"" + t.note + "\"";
        return false;
      }
      std::string cells;
      for (char ch : t.steps) {
        if (ch == ' ' || ch == '|') continue;
        if (ch != 'x' && ch != 'X' && ch != 'o' && ch != '.' && ch != '-') {
          why = std::string("step cells are x, X, o or ., not '") + ch + "'";
          return false;
        }
        cells.push_back(ch);
      }
      if (cells.empty()) {
        why = "empty steps";
        return false;
      }
      size_t k = 0;
      for (double b = 0; b < total_beats - 1e-9; b += t.step, k = (k + 1) % cells.size()) {
        char ch = cells[k];
        if (ch == '.' || ch == '-') continue;
        double v = ch == 'X' ? 1.3 : ch == 'x' ? 1.0 : 0.55;
        events.push_back({b, t.step, midi, v});
      }
      return true;
    }
  }
  (void)beats_per_bar;
  return true;
}

// A plain Schroeder–Moorer reverb (eight damped combs and four all-passes per
// side), scaled to the sample rate.
class ReverbUnit {
 public:
  ReverbUnit(int rate, double room, double damp) {
    static constexpr int kCombs[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    static constexpr int kAllpasses[4] = {556, 441, 341, 225};
    const double scale = rate / 44100.0;
    for (int side = 0; side < 2; ++side) {
      const int spread = side ? 23 : 0;
      for (int i = 0; i < 8; ++i) {
        combs_[side][i].buf.assign(static_cast<size_t>((kCombs[i] + spread) * scale), 0.0);
      }
      for (int i = 0; i < 4; ++i) {
        allpasses_[side][i].buf.assign(static_cast<size_t>((kAllpasses[i] + spread) * scale), 0.0);
      }
    }
    feedback_ = room * 0.28 + 0.7;
    damp_ = damp * 0.4;
  }
  void Run(double in, double& left, double& right) {
    const double x = in * 0.015;
    double out[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
      for (Comb& c : combs_[side]) {
        double y = c.buf[c.pos];
        c.store = y * (1 - damp_) + c.store * damp_;
        c.buf[c.pos] = x + c.store * feedback_;
        if (++c.pos == c.buf.size()) c.pos = 0;
        out[side] += y;
      }
      for (Allpass& a : allpasses_[side]) {
        double b = a.buf[a.pos];
        double y = -out[side] + b;
        a.buf[a.pos] = out[side] + b * 0.5;
        if (++a.pos == a.buf.size()) a.pos = 0;
        out[side] = y;
      }
    }
    left = out[0];
    right = out[1];
  }

 private:
  struct Comb {
    std::vector<double> buf;
    size_t pos = 0;
    double store = 0;
  };
  struct Allpass {
    std::vector<double> buf;
    size_t pos = 0;
  };
  std::array<std::array<Comb, 8>, 2> combs_;
  std::array<std::array<Allpass, 4>, 2> allpasses_;
  double feedback_ = 0.8;
  double damp_ = 0.2;
};

}  // namespace

bool RenderMusic(const MusicRecipe& m, Pcm& out, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = m.file + ": " + why;
    return false;
  };
  // The chord chart fixes the length of the piece.
  std::vector<ChordSpan> chords;
  double total_beats = 0;
  for (const std::string& tok : Tokens(m.chords)) {
    std::string head;
    double beats = 0;
    if (!SplitLength(tok, m.beats_per_bar, head, beats)) return fail("bad chord \"" + tok + "\"");
    ChordSpan span;
    if (!ParseChord(head, span.chord)) return fail("bad chord \"" + head + "\"");
    span.beat = total_beats;
    span.beats = beats;
    total_beats += beats;
    chords.push_back(span);
  }
  if (chords.empty()) return fail("no chords");
  if (total_beats * 60.0 / m.tempo > 600) return fail("longer than ten minutes");
  const int rate = m.format.rate;
  const double beat_s = 60.0 / m.tempo;
  const size_t piece = static_cast<size_t>(std::llround(total_beats * beat_s * rate));
  const int passes = m.loop ? 3 : 1;
  // A loop starting inside the piece is taken from the second pass on: a whole
  // piece before it has rung into it, as for the start of the last pass.
  const size_t loop_at = static_cast<size_t>(std::llround(m.loop_start * beat_s * rate));
  if (m.loop && loop_at >= piece) return fail("loop_start is not inside the piece");
  const size_t len = m.loop ? piece * passes : piece + static_cast<size_t>(m.tail * rate);
  std::vector<float> left(len, 0.0f), right(len, 0.0f);

  for (size_t ti = 0; ti < m.tracks.size(); ++ti) {
    const Track& t = m.tracks[ti];
    std::vector<NoteEvent> events;
    std::string why;
    if (!TrackEvents(t, chords, total_beats, m.beats_per_bar, events, why)) {
      return fail("track " + std::to_string(ti) + ": " + why);
    }
    const Instrument& ins = m.instruments.at(t.instrument);
    // Constant power: the pan angle runs over a quarter turn.
    const double pan_turns = (t.pan + 1) / 8;
    const double gl = DetCosTurns(pan_turns) * std::sqrt(2.0),
                 gr = DetSinTurns(pan_turns) * std::sqrt(2.0);
    // A note of the same pitch and length sounds the same every time (noise
    // follows the sample index), so each is synthesised once per track.
    std::map<std::pair<int, double>, std::vector<float>> voices;
    for (const NoteEvent& e : events) {
      const double bar = e.beat / m.beats_per_bar;
      if (bar < t.from_bar - 1e-9 || (t.to_bar > 0 && bar >= t.to_bar - 1e-9)) continue;
      const double gate = e.beats * beat_s * t.gate;
      std::vector<float>& voice = voices[{e.midi, gate}];
      if (voice.empty()) {
        const double hz = 440.0 * DetExp2((e.midi - 69) / 12.0);
        double seconds = 0;
        for (const Layer& l : ins.layers) seconds = std::max(seconds, LayerSeconds(l, gate));
        voice.assign(static_cast<size_t>(std::ceil(seconds * rate)) + 1, 0.0f);
        for (const Layer& l : ins.layers)
          RenderLayer(l, hz, rate, gate, 0, 0, 1.0, voice.data(), voice.size());
      }
      const size_t vlen = voice.size();
      const double g = t.gain * e.velocity;
      for (int pass = 0; pass < passes; ++pass) {
        const size_t at = static_cast<size_t>(pass) * piece +
                          static_cast<size_t>(std::llround(e.beat * beat_s * rate));
        for (size_t i = 0; i < vlen && at + i < len; ++i) {
          left[at + i] += static_cast<float>(voice[i] * g * gl);
          right[at + i] += static_cast<float>(voice[i] * g * gr);
        }
      }
    }
  }
  if (m.reverb.mix > 0) {
    ReverbUnit rv(rate, m.reverb.room, m.reverb.damp);
    for (size_t i = 0; i < len; ++i) {
      double wl = 0, wr = 0;
      rv.Run(0.5 * (left[i] + right[i]), wl, wr);
      left[i] += static_cast<float>(wl * m.reverb.mix);
      right[i] += static_cast<float>(wr * m.reverb.mix);
    }
  }
  const size_t from = !m.loop ? 0 : loop_at > 0 ? piece + loop_at : piece * (passes - 1);
  const size_t frames = m.loop ? piece : len;
  out = Pcm{};
  out.rate = rate;
  out.channels = m.format.stereo ? 2 : 1;
  out.samples.resize(frames * static_cast<size_t>(out.channels));
  for (size_t i = 0; i < frames; ++i) {
    if (out.channels == 2) {
      out.samples[2 * i] = left[from + i];
      out.samples[2 * i + 1] = right[from + i];
    } else {
      out.samples[i] = 0.5f * (left[from + i] + right[from + i]);
    }
  }
  if (!m.loop) {
    const size_t fade = std::min<size_t>(frames, static_cast<size_t>(rate / 20));
    for (size_t i = 0; i < fade; ++i) {
      for (int c = 0; c < out.channels; ++c) {
        out.samples[(frames - 1 - i) * out.channels + c] *= static_cast<float>(i) / fade;
      }
    }
  }
  Normalise(out.samples, m.peak);
  return true;
}

}  // namespace soundgen
