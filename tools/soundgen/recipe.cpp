#include "soundgen/recipe.h"

#include <algorithm>
#include <fstream>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string_view>

namespace soundgen {

namespace {

using nlohmann::json;

// Errors inside the parser are thrown as this and turned into a reason at the top.
struct RecipeError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw RecipeError(where + ": " + what);
}

// Every key must be one the reader knows: a misspelt field would otherwise be
// ignored silently.
void CheckKeys(const json& j, const std::string& where,
               std::initializer_list<std::string_view> keys) {
  if (!j.is_object()) Fail(where, "expected an object");
  for (const auto& item : j.items()) {
    if (std::find(keys.begin(), keys.end(), item.key()) == keys.end()) {
      Fail(where, "unknown field \"" + item.key() + "\"");
    }
  }
}

double Num(const json& j, const char* key, double fallback, const std::string& where, double lo,
           double hi) {
  if (!j.contains(key)) return fallback;
  const json& v = j.at(key);
  if (!v.is_number()) Fail(where, std::string("\"") + key + "\" must be a number");
  double d = v.get<double>();
  if (!(d >= lo && d <= hi)) {
    std::ostringstream s;
    s << "\"" << key << "\" = " << d << " is outside " << lo << " .. " << hi;
    Fail(where, s.str());
  }
  return d;
}

int Int(const json& j, const char* key, int fallback, const std::string& where, int lo, int hi) {
  double d = Num(j, key, fallback, where, lo, hi);
  if (d != static_cast<int>(d)) Fail(where, std::string("\"") + key + "\" must be a whole number");
  return static_cast<int>(d);
}

std::string Str(const json& j, const char* key, const std::string& fallback,
                const std::string& where) {
  if (!j.contains(key)) return fallback;
  const json& v = j.at(key);
  if (v.is_array()) {
    // Long note lists may be split into an array of lines.
    std::string out;
    for (const json& line : v) {
      if (!line.is_string()) Fail(where, std::string("\"") + key + "\" lines must be strings");
      out += line.get<std::string>();
      out += ' ';
    }
    return out;
  }
  if (!v.is_string()) Fail(where, std::string("\"") + key + "\" must be a string");
  return v.get<std::string>();
}

bool Bool(const json& j, const char* key, bool fallback, const std::string& where) {
  if (!j.contains(key)) return fallback;
  if (!j.at(key).is_boolean()) Fail(where, std::string("\"") + key + "\" must be true or false");
  return j.at(key).get<bool>();
}

constexpr double kMaxHz = 40000;
constexpr double kMaxSeconds = 120;

Format ParseFormat(const json& j, const Format& base, const std::string& where) {
  CheckKeys(j, where, {"wave", "rate", "kbps", "stereo"});
  Format f = base;
  f.wave = Bool(j, "wave", f.wave, where);
  f.rate = Int(j, "rate", f.rate, where, 8000, 48000);
  f.kbps = Int(j, "kbps", f.kbps, where, 8, 320);
  f.stereo = Bool(j, "stereo", f.stereo, where);
  return f;
}

FilterRecipe ParseFilter(const json& j, const std::string& where) {
  CheckKeys(j, where, {"type", "freq", "freq_end", "sweep", "q"});
  FilterRecipe f;
  std::string type = Str(j, "type", "lowpass", where);
  if (type == "lowpass") {
    f.type = FilterType::kLowpass;
  } else if (type == "highpass") {
    f.type = FilterType::kHighpass;
  } else if (type == "bandpass") {
    f.type = FilterType::kBandpass;
  } else {
    Fail(where, "filter type \"" + type + "\" is not lowpass, highpass or bandpass");
  }
  f.freq = Num(j, "freq", f.freq, where, 10, kMaxHz);
  f.freq_end = Num(j, "freq_end", 0, where, 0, kMaxHz);
  f.sweep = Num(j, "sweep", f.sweep, where, 0.0001, kMaxSeconds);
  f.q = Num(j, "q", f.q, where, 0.1, 50);
  return f;
}

Wave ParseWave(const std::string& name, const std::string& where) {
  static constexpr std::pair<std::string_view, Wave> kWaves[] = {
      {"sine", Wave::kSine},        {"triangle", Wave::kTriangle}, {"square", Wave::kSquare},
      {"saw", Wave::kSaw},          {"pulse", Wave::kPulse},       {"noise", Wave::kNoise},
      {"partials", Wave::kPartials}};
  for (const auto& [n, w] : kWaves) {
    if (n == name) return w;
  }
  Fail(where, "wave \"" + name + "\" is not sine, triangle, square, saw, pulse, noise or partials");
}

Layer ParseLayer(const json& j, const std::string& where) {
  CheckKeys(j, where, {"about", "wave",   "freq",   "ratio",  "freq_end", "ratio_end",
                       "sweep", "detune", "duty",   "fm",     "partials", "seed",
                       "start", "attack", "hold",   "decay",  "sustain",  "release",
                       "gain",  "drive",  "filter", "repeat", "every",    "repeat_gain"});
  Layer l;
  l.wave = ParseWave(Str(j, "wave", "sine", where), where);
  l.freq = Num(j, "freq", 0, where, 0, kMaxHz);
  l.ratio = Num(j, "ratio", 1, where, 0.001, 100);
  l.freq_end = Num(j, "freq_end", 0, where, 0, kMaxHz);
  l.ratio_end = Num(j, "ratio_end", 0, where, 0, 100);
  l.sweep = Num(j, "sweep", l.sweep, where, 0.0001, kMaxSeconds);
  l.detune = Num(j, "detune", 0, where, -2400, 2400);
  l.duty = Num(j, "duty", 0.5, where, 0.01, 0.99);
  if (j.contains("fm")) {
    const json& fm = j.at("fm");
    std::string w = where + ".fm";
    CheckKeys(fm, w, {"ratio", "index", "decay"});
    l.fm_ratio = Num(fm, "ratio", 1, w, 0.001, 100);
    l.fm_index = Num(fm, "index", 1, w, 0, 100);
    l.fm_decay = Num(fm, "decay", 0, w, 0, kMaxSeconds);
  }
  if (j.contains("partials")) {
    const json& ps = j.at("partials");
    if (!ps.is_array() || ps.empty())
      Fail(where, "\"partials\" must be a list of [ratio, gain, decay]");
    for (const json& p : ps) {
      if (!p.is_array() || p.size() < 2 || p.size() > 3 || !p[0].is_number() || !p[1].is_number() ||
          (p.size() == 3 && !p[2].is_number())) {
        Fail(where, "each partial is [ratio, gain] or [ratio, gain, decay]");
      }
      Partial q{p[0].get<double>(), p[1].get<double>(), p.size() == 3 ? p[2].get<double>() : 0};
      if (!(q.ratio > 0 && q.ratio <= 100) || !(q.decay >= 0 && q.decay <= kMaxSeconds)) {
        Fail(where, "partial ratio must be in 0 .. 100 and decay in 0 .. 120");
      }
      l.partials.push_back(q);
    }
  }
  if (l.wave == Wave::kPartials && l.partials.empty())
    Fail(where, "wave \"partials\" needs \"partials\"");
  l.seed = static_cast<uint32_t>(Int(j, "seed", 1, where, 0, 1 << 30));
  l.start = Num(j, "start", 0, where, 0, kMaxSeconds);
  l.attack = Num(j, "attack", l.attack, where, 0, kMaxSeconds);
  l.hold = Num(j, "hold", 0, where, 0, kMaxSeconds);
  l.decay = Num(j, "decay", 0, where, 0, kMaxSeconds);
  l.sustain = Num(j, "sustain", j.contains("decay") ? 0.0 : 1.0, where, 0, 1);
  l.release = Num(j, "release", l.release, where, 0.0005, kMaxSeconds);
  l.gain = Num(j, "gain", 1, where, 0, 100);
  l.drive = Num(j, "drive", 0, where, 0, 100);
  if (j.contains("filter")) l.filter = ParseFilter(j.at("filter"), where + ".filter");
  l.repeat = Int(j, "repeat", 1, where, 1, 1000);
  l.every = Num(j, "every", 0, where, 0, kMaxSeconds);
  l.repeat_gain = Num(j, "repeat_gain", 1, where, 0, 10);
  return l;
}

std::vector<Layer> ParseLayers(const json& j, const std::string& where) {
  if (!j.is_array() || j.empty()) Fail(where, "\"layers\" must be a non-empty list");
  std::vector<Layer> out;
  for (size_t i = 0; i < j.size(); ++i) {
    out.push_back(ParseLayer(j[i], where + ".layers[" + std::to_string(i) + "]"));
  }
  return out;
}

EffectRecipe ParseEffect(const json& j, const Format& base, const std::string& where0) {
  std::string file = j.is_object() ? Str(j, "file", "", where0) : "";
  std::string where = where0 + (file.empty() ? "" : " (" + file + ")");
  CheckKeys(j, where, {"file", "about", "format", "length", "peak", "loop", "layers"});
  EffectRecipe e;
  e.file = file;
  if (e.file.empty()) Fail(where, "\"file\" is missing");
  e.format = j.contains("format") ? ParseFormat(j.at("format"), base, where + ".format") : base;
  e.length = Num(j, "length", e.length, where, 0.01, kMaxSeconds);
  e.peak = Num(j, "peak", e.peak, where, 0.01, 0.95);
  e.loop = Bool(j, "loop", false, where);
  if (!j.contains("layers")) Fail(where, "\"layers\" is missing");
  e.layers = ParseLayers(j.at("layers"), where);
  return e;
}

Track ParseTrack(const json& j, const std::string& where) {
  CheckKeys(j, where,
            {"about", "play", "instrument", "octave", "pattern", "notes", "steps", "step", "gate",
             "gain", "pan", "from_bar", "to_bar", "note"});
  Track t;
  std::string play = Str(j, "play", "", where);
  if (play == "chords") {
    t.kind = TrackKind::kChords;
  } else if (play == "bass") {
    t.kind = TrackKind::kBass;
  } else if (play == "arp") {
    t.kind = TrackKind::kArp;
  } else if (play == "notes") {
    t.kind = TrackKind::kNotes;
  } else if (play == "steps") {
    t.kind = TrackKind::kSteps;
  } else {
    Fail(where, "\"play\" must be chords, bass, arp, notes or steps");
  }
  t.instrument = Str(j, "instrument", "", where);
  if (t.instrument.empty()) Fail(where, "\"instrument\" is missing");
  t.octave = Int(j, "octave", 4, where, 0, 8);
  t.pattern = Str(j, "pattern", "", where);
  t.notes = Str(j, "notes", "", where);
  t.steps = Str(j, "steps", "", where);
  t.step = Num(j, "step", 0.25, where, 0.01, 64);
  t.gate = Num(j, "gate", 0.9, where, 0.01, 4);
  t.gain = Num(j, "gain", 0.5, where, 0, 10);
  t.pan = Num(j, "pan", 0, where, -1, 1);
  t.from_bar = Int(j, "from_bar", 0, where, 0, 10000);
  t.to_bar = Int(j, "to_bar", 0, where, 0, 10000);
  t.note = Str(j, "note", "C4", where);
  if ((t.kind == TrackKind::kBass || t.kind == TrackKind::kArp) && t.pattern.empty()) {
    Fail(where, "\"pattern\" is missing");
  }
  if (t.kind == TrackKind::kNotes && t.notes.empty()) Fail(where, "\"notes\" is missing");
  if (t.kind == TrackKind::kSteps && t.steps.empty()) Fail(where, "\"steps\" is missing");
  return t;
}

MusicRecipe ParseMusic(const json& j, const Format& base, const std::string& where0) {
  std::string file = j.is_object() ? Str(j, "file", "", where0) : "";
  std::string where = where0 + (file.empty() ? "" : " (" + file + ")");
  CheckKeys(j, where,
            {"file", "about", "format", "loop", "loop_start", "tempo", "beats_per_bar", "tail",
             "peak", "reverb", "chords", "instruments", "tracks"});
  MusicRecipe m;
  m.file = file;
  if (m.file.empty()) Fail(where, "\"file\" is missing");
  m.format = j.contains("format") ? ParseFormat(j.at("format"), base, where + ".format") : base;
  m.loop = Bool(j, "loop", false, where);
  m.tempo = Num(j, "tempo", m.tempo, where, 20, 400);
  m.beats_per_bar = Int(j, "beats_per_bar", 4, where, 1, 16);
  m.tail = Num(j, "tail", m.tail, where, 0, 30);
  m.loop_start = Num(j, "loop_start", 0, where, 0, 4096);
  if (m.loop_start > 0 && !m.loop) Fail(where, "\"loop_start\" is for a looping piece");
  m.peak = Num(j, "peak", m.peak, where, 0.01, 0.95);
  if (j.contains("reverb")) {
    const json& r = j.at("reverb");
    CheckKeys(r, where + ".reverb", {"mix", "room", "damp"});
    m.reverb.mix = Num(r, "mix", 0.2, where + ".reverb", 0, 1);
    m.reverb.room = Num(r, "room", 0.7, where + ".reverb", 0, 0.98);
    m.reverb.damp = Num(r, "damp", 0.4, where + ".reverb", 0, 1);
  }
  m.chords = Str(j, "chords", "", where);
  if (m.chords.empty()) Fail(where, "\"chords\" is missing");
  if (!j.contains("instruments") || !j.at("instruments").is_object()) {
    Fail(where, "\"instruments\" must be an object of named instruments");
  }
  for (const auto& item : j.at("instruments").items()) {
    std::string w = where + ".instruments." + item.key();
    CheckKeys(item.value(), w, {"about", "layers"});
    Instrument ins;
    if (!item.value().contains("layers")) Fail(w, "\"layers\" is missing");
    ins.layers = ParseLayers(item.value().at("layers"), w);
    m.instruments[item.key()] = std::move(ins);
  }
  if (!j.contains("tracks") || !j.at("tracks").is_array()) Fail(where, "\"tracks\" must be a list");
  const json& ts = j.at("tracks");
  for (size_t i = 0; i < ts.size(); ++i) {
    std::string w = where + ".tracks[" + std::to_string(i) + "]";
    Track t = ParseTrack(ts[i], w);
    if (!m.instruments.count(t.instrument)) Fail(w, "no instrument \"" + t.instrument + "\"");
    m.tracks.push_back(std::move(t));
  }
  return m;
}

void ParseDocument(const json& doc, const std::string& origin, RecipeBook& book) {
  CheckKeys(doc, origin, {"about", "format", "effects", "music"});
  Format base;
  if (doc.contains("format")) base = ParseFormat(doc.at("format"), base, origin + ".format");
  if (doc.contains("effects")) {
    const json& es = doc.at("effects");
    if (!es.is_array()) Fail(origin, "\"effects\" must be a list");
    for (size_t i = 0; i < es.size(); ++i) {
      book.effects.push_back(
          ParseEffect(es[i], base, origin + ": effects[" + std::to_string(i) + "]"));
    }
  }
  if (doc.contains("music")) {
    const json& ms = doc.at("music");
    if (!ms.is_array()) Fail(origin, "\"music\" must be a list");
    for (size_t i = 0; i < ms.size(); ++i) {
      book.music.push_back(ParseMusic(ms[i], base, origin + ": music[" + std::to_string(i) + "]"));
    }
  }
}

}  // namespace

bool ParseRecipes(const std::string& text, const std::string& origin, RecipeBook& book,
                  std::string* error) {
  try {
    json doc = json::parse(text, nullptr, true, /*ignore_comments=*/true);
    RecipeBook parsed = book;
    ParseDocument(doc, origin, parsed);
    book = std::move(parsed);
    return true;
  } catch (const json::exception& e) {
    if (error) *error = origin + ": " + e.what();
  } catch (const RecipeError& e) {
    if (error) *error = e.what();
  }
  return false;
}

bool LoadRecipes(const std::filesystem::path& path, RecipeBook& book, std::string* error) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
      if (entry.is_regular_file() && entry.path().extension() == ".json")
        files.push_back(entry.path());
    }
    if (ec) {
      if (error) *error = path.string() + ": " + ec.message();
      return false;
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
      if (error) *error = path.string() + ": no .json recipe files";
      return false;
    }
  } else {
    files.push_back(path);
  }
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    if (!in) {
      if (error) *error = f.string() + ": cannot be read";
      return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    if (!ParseRecipes(text.str(), f.filename().string(), book, error)) return false;
  }
  return true;
}

}  // namespace soundgen
