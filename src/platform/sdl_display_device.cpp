#include "platform/sdl_display_device.h"

#include <SDL.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/png_file.h"

namespace platform {

namespace {

// The surface layout each bit depth gives our buffers. 24-bit pixels are the
// low three bytes of the little-endian value, blue first in memory.
render::DeviceMode LayoutOf(int32_t width, int32_t height, int32_t bits) {
  render::DeviceMode m{width, height, bits, 0, 0, 0};
  switch (bits) {
    case 15:
      m.bit_count = 16;
      m.red_mask = 0x7C00;
      m.green_mask = 0x03E0;
      m.blue_mask = 0x001F;
      break;
    case 16:
      m.red_mask = 0xF800;
      m.green_mask = 0x07E0;
      m.blue_mask = 0x001F;
      break;
    case 24:
    case 32:
      m.red_mask = 0xFF0000;
      m.green_mask = 0x00FF00;
      m.blue_mask = 0x0000FF;
      break;
    default:
      break;
  }
  return m;
}

int32_t BytesOf(int32_t bit_count) {
  return bit_count <= 8 ? 1 : bit_count <= 16 ? 2 : bit_count <= 24 ? 3 : 4;
}

bool IsGameMode(int32_t width, int32_t height, int32_t bits) {
  bool size = std::ranges::any_of(render::kResolutions, [&](const render::Resolution& r) {
    return r.width == width && r.height == height;
  });
  return size && std::ranges::find(render::kDepthBits, bits) != render::kDepthBits.end();
}

// The SDL texture format that holds a buffer of this layout as it is.
uint32_t TextureFormatOf(const render::DeviceMode& m) {
  switch (m.bit_count) {
    case 16:
      return m.green_mask == 0x07E0 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB555;
    case 24:
      return SDL_PIXELFORMAT_BGR24;
    case 32:
      return SDL_PIXELFORMAT_RGB888;
    default:
      return SDL_PIXELFORMAT_RGB888;  // 8-bit frames are converted through the palette
  }
}

// Widens one channel to 8 bits by repeating its top bits.
struct Channel {
  uint32_t mask;
  int shift, bits;
  explicit Channel(uint32_t m)
      : mask(m), shift(m ? std::countr_zero(m) : 0), bits(std::popcount(m)) {}
  uint8_t operator()(uint32_t value) const {
    if (bits == 0) return 0;
    const uint32_t v = (value & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(v >> (bits - 8));
    return static_cast<uint8_t>((v << (8 - bits)) | (v >> std::max(0, 2 * bits - 8)));
  }
};

}  // namespace

void FrameToRgb(const render::DeviceMode& mode, const uint8_t* pixels, int32_t pitch,
                const render::Palette& palette, RgbFrame& out) {
  out.width = mode.width;
  out.height = mode.height;
  out.pixels.assign(static_cast<size_t>(mode.width) * static_cast<size_t>(mode.height) * 3, 0);
  const int32_t bpp = BytesOf(mode.bit_count);
  const Channel red(mode.red_mask), green(mode.green_mask), blue(mode.blue_mask);
  uint8_t* o = out.pixels.data();
  for (int32_t y = 0; y < mode.height; ++y) {
    const uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
    for (int32_t x = 0; x < mode.width; ++x, o += 3) {
      const uint8_t* p = row + static_cast<ptrdiff_t>(x) * bpp;
      if (bpp == 1) {
        const render::Rgb& c = palette[*p];
        o[0] = c.r;
        o[1] = c.g;
        o[2] = c.b;
        continue;
      }
      uint32_t v = 0;
      for (int32_t i = 0; i < bpp; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
      o[0] = red(v);
      o[1] = green(v);
      o[2] = blue(v);
    }
  }
}

SdlDisplayDevice::SdlDisplayDevice(DisplayOptions options) : options_(std::move(options)) {}

SdlDisplayDevice::~SdlDisplayDevice() { ReleaseDisplay(); }

bool SdlDisplayDevice::Create() {
  if (options_.headless || video_) return true;
  // The window's surface is a plain shared-memory image that we fill
  // ourselves; SDL would otherwise put a renderer behind it.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Closing the window is the close button's business alone; a quit event
  // then only ever means that the program is asked to end.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  if (const char* f = std::getenv("GFALL_FRAME_COUNT_FILE")) count_file_ = f;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    Trace(SDL_GetError());
    return false;
  }
  video_ = true;
  return true;
}

std::vector<render::DeviceMode> SdlDisplayDevice::Modes() {
  std::vector<render::DeviceMode> modes;
  for (const render::Resolution& r : render::kResolutions) {
    for (int32_t bits : render::kDepthBits) modes.push_back(LayoutOf(r.width, r.height, bits));
  }
  return modes;
}

bool SdlDisplayDevice::OpenWindow() {
  if (options_.headless || window_ != nullptr) return true;
  uint32_t flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
  if (options_.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
  const bool start_size = start_w_ > 0 && start_h_ > 0;
  window_ = SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             start_size ? start_w_ : mode_.width,
                             start_size ? start_h_ : mode_.height, flags);
  if (window_ == nullptr) {
    Trace(SDL_GetError());
    return false;
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  // The renderer draws the forms, and the picture at sizes that are no
  // whole-number scale of it. When the window starts at such a scale (the
  // usual window, or a full screen of the right size) the picture goes
  // through the window's surface and the forms are few: the software
  // renderer, which draws into that same surface, serves them without
  // loading a graphics driver. Otherwise the accelerated one scales.
  int32_t w = start_size ? start_w_ : mode_.width, h = start_size ? start_h_ : mode_.height;
  if (start_size) {
    windowed_w_ = start_w_;
    windowed_h_ = start_h_;
  }
  SDL_DisplayMode desktop{};
  if (options_.fullscreen && SDL_GetDesktopDisplayMode(0, &desktop) == 0) {
    w = desktop.w;
    h = desktop.h;
  }
  const bool fits = (w % mode_.width == 0 && h >= mode_.height * (w / mode_.width)) ||
                    (h % mode_.height == 0 && w >= mode_.width * (h / mode_.height));
  const uint32_t vsync = options_.vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  if (!fits) renderer_ = SDL_CreateRenderer(window_, -1, vsync);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) {
    Trace(SDL_GetError());
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    return false;
  }
  SDL_RendererInfo info{};
  renderer_vsync_ =
      SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
  return true;
}

bool SdlDisplayDevice::SetMode(int32_t width, int32_t height, int32_t bits) {
  if (!IsGameMode(width, height, bits)) return false;
  mode_ = LayoutOf(width, height, bits);
  bytes_per_pixel_ = BytesOf(mode_.bit_count);
  if (!OpenWindow()) return false;
  if (renderer_ != nullptr) {
    // The picture keeps its shape at any window size; the rest stays black.
    SDL_RenderSetLogicalSize(renderer_, width, height);
    if (options_.sharp) SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
    if (!options_.fullscreen) {
      if (start_w_ > 0 && start_h_ > 0) {
        SDL_SetWindowSize(window_, start_w_, start_h_);
      } else {
        SDL_SetWindowSize(window_, width, height);
      }
    }
  }
  return true;
}

void SdlDisplayDevice::SetSharp(bool sharp) {
  if (options_.sharp == sharp) return;
  options_.sharp = sharp;
  if (renderer_ != nullptr) SDL_RenderSetIntegerScale(renderer_, sharp ? SDL_TRUE : SDL_FALSE);
  whole_ = texture_stale_ = true;
}

void SdlDisplayDevice::ReleaseSurfaces() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  buffers_.clear();
  back_ = front_ = previous_front_ = 0;
  presented_ = false;
  whole_ = texture_stale_ = true;
}

bool SdlDisplayDevice::CreateSurfaces(int32_t back_buffers, bool) {
  if (mode_.width <= 0 || back_buffers < 1) return false;
  ReleaseSurfaces();
  const size_t bytes = static_cast<size_t>(mode_.width) * static_cast<size_t>(mode_.height) *
                       static_cast<size_t>(bytes_per_pixel_);
  buffers_.assign(static_cast<size_t>(back_buffers) + 1, std::vector<uint8_t>(bytes, 0));
  front_ = previous_front_ = 0;
  back_ = 1;
  whole_ = texture_stale_ = true;
  wide_.clear();
  if (mode_.bit_count == 16) {
    const Channel red(mode_.red_mask), green(mode_.green_mask), blue(mode_.blue_mask);
    wide_.resize(65536);
    for (uint32_t v = 0; v < 65536; ++v) {
      wide_[v] =
          static_cast<uint32_t>(red(v)) << 16 | static_cast<uint32_t>(green(v)) << 8 | blue(v);
    }
  }
  if (renderer_ != nullptr) {
    texture_ = SDL_CreateTexture(renderer_, TextureFormatOf(mode_), SDL_TEXTUREACCESS_STREAMING,
                                 mode_.width, mode_.height);
    if (texture_ == nullptr) {
      Trace(SDL_GetError());
      buffers_.clear();
      return false;
    }
    if (options_.sharp) SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
  }
  return true;
}

bool SdlDisplayDevice::CreatePalette(const render::Palette& entries) {
  if (mode_.bit_count != 8) return false;
  return SetPaletteEntries(0, entries);
}

bool SdlDisplayDevice::SetPaletteEntries(int32_t first, std::span<const render::Rgb> entries) {
  if (first < 0 || static_cast<size_t>(first) + entries.size() > palette_.size()) return false;
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t k = static_cast<size_t>(first) + i;
    palette_[k] = entries[i];
    palette_xrgb_[k] = static_cast<uint32_t>(entries[i].r) << 16 |
                       static_cast<uint32_t>(entries[i].g) << 8 | entries[i].b;
  }
  // A palette change shows at once, as on an 8-bit screen.
  texture_stale_ = true;
  if (presented_) Redraw();
  return true;
}

bool SdlDisplayDevice::Lock(uint8_t*& pixels, int32_t& pitch) {
  if (buffers_.empty()) return false;
  pixels = buffers_[back_].data();
  pitch = mode_.width * bytes_per_pixel_;
  return true;
}

void SdlDisplayDevice::Flip() {
  if (buffers_.empty()) return;
  previous_front_ = front_;
  front_ = back_;
  back_ = (back_ + 1) % buffers_.size();
  presented_ = true;
  if (window_ == nullptr) return;
  Pace();
  ChangedBoxes(mode_, buffers_[front_].data(), buffers_[previous_front_].data(), boxes_);
  Present();
}

void SdlDisplayDevice::ChangedBoxes(const render::DeviceMode& mode, const uint8_t* now,
                                    const uint8_t* before, std::vector<Box>& out) {
  // Tiles of 64 x 16 pixels: small enough to follow a ball, few enough that
  // comparing them row by row stays a fraction of one copy of the frame.
  constexpr int32_t kTileW = 64, kTileH = 16;
  out.clear();
  const int32_t bpp = BytesOf(mode.bit_count);
  const size_t pitch = static_cast<size_t>(mode.width) * static_cast<size_t>(bpp);
  const int32_t columns = (mode.width + kTileW - 1) / kTileW;
  std::vector<uint8_t> changed(static_cast<size_t>(columns));
  for (int32_t y0 = 0; y0 < mode.height; y0 += kTileH) {
    const int32_t y1 = std::min(mode.height, y0 + kTileH);
    std::fill(changed.begin(), changed.end(), uint8_t{0});
    for (int32_t y = y0; y < y1; ++y) {
      const size_t row = static_cast<size_t>(y) * pitch;
      for (int32_t c = 0; c < columns; ++c) {
        if (changed[static_cast<size_t>(c)]) continue;
        const size_t at = row + static_cast<size_t>(c) * kTileW * static_cast<size_t>(bpp);
        const size_t n = static_cast<size_t>(std::min(kTileW, mode.width - c * kTileW)) *
                         static_cast<size_t>(bpp);
        if (std::memcmp(now + at, before + at, n) != 0) changed[static_cast<size_t>(c)] = 1;
      }
    }
    const size_t before_band = out.size();
    for (int32_t c = 0; c < columns;) {
      if (!changed[static_cast<size_t>(c)]) {
        ++c;
        continue;
      }
      int32_t e = c;
      while (e < columns && changed[static_cast<size_t>(e)]) ++e;
      const Box run{c * kTileW, y0, std::min(mode.width, e * kTileW), y1};
      // A run under one of the same extent in the band above extends it.
      bool merged = false;
      for (size_t i = 0; i < before_band; ++i) {
        Box& b = out[i];
        if (b.x0 == run.x0 && b.x1 == run.x1 && b.y1 == y0) {
          b.y1 = y1;
          merged = true;
          break;
        }
      }
      if (!merged) out.push_back(run);
      c = e;
    }
  }
}

std::chrono::nanoseconds SdlDisplayDevice::RefreshPeriod() const {
  SDL_DisplayMode m{};
  const int index = window_ != nullptr ? SDL_GetWindowDisplayIndex(window_) : 0;
  int hz = 60;  // when the display does not say
  if (SDL_GetCurrentDisplayMode(std::max(index, 0), &m) == 0 && m.refresh_rate > 0) {
    hz = m.refresh_rate;
  }
  return std::chrono::nanoseconds(1'000'000'000LL / hz);
}

void SdlDisplayDevice::WaitToStartFrame() {
  frame_started_ = false;
  if (!options_.vsync || window_ == nullptr) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = next_frame_ - work_ - kStartMargin;
  if (Clock::now() < start) std::this_thread::sleep_until(start);
  frame_start_ = Clock::now();
  frame_started_ = true;
}

void SdlDisplayDevice::Pace() {
  if (!options_.vsync) return;
  using Clock = std::chrono::steady_clock;
  const std::chrono::nanoseconds period = RefreshPeriod();
  Clock::time_point now = Clock::now();
  if (frame_started_) {
    // The frame's work since its start: the estimate rises at once to a
    // longer frame and falls back slowly.
    frame_started_ = false;
    const auto work = std::min<std::chrono::nanoseconds>(now - frame_start_, period);
    work_ = work > work_ ? work : work_ + (work - work_) / 16;
  }
  if (present_waited_) {
    // The last present waited for the display's refresh itself.
    present_waited_ = false;
    next_frame_ = now + period;
    return;
  }
  if (now < next_frame_) {
    std::this_thread::sleep_until(next_frame_);
    now = Clock::now();
  }
  // One refresh after the last; after a stall, one after now.
  next_frame_ = now - next_frame_ > period ? now + period : next_frame_ + period;
}

SdlDisplayDevice::Layout SdlDisplayDevice::LayoutNow() const {
  Layout l;
  if (window_ == nullptr || mode_.width <= 0) return l;
  SDL_GetWindowSizeInPixels(window_, &l.window_w, &l.window_h);
  if (l.window_w <= 0 || l.window_h <= 0) return l;
  const int32_t by_w = l.window_w / mode_.width, by_h = l.window_h / mode_.height;
  const int32_t k = std::min(by_w, by_h);
  if (k >= 1 &&
      (options_.sharp || k * mode_.width == l.window_w || k * mode_.height == l.window_h)) {
    l.scale = k;
    l.w = k * mode_.width;
    l.h = k * mode_.height;
  } else {
    const double f = std::min(static_cast<double>(l.window_w) / mode_.width,
                              static_cast<double>(l.window_h) / mode_.height);
    l.w = static_cast<int32_t>(mode_.width * f);
    l.h = static_cast<int32_t>(mode_.height * f);
  }
  l.x = (l.window_w - l.w) / 2;
  l.y = (l.window_h - l.h) / 2;
  return l;
}

void SdlDisplayDevice::Present() {
  if (window_ == nullptr || !presented_ || buffers_.empty()) return;
  if (!whole_ && boxes_.empty()) return;  // nothing changed: nothing to show
  const Layout l = LayoutNow();
  if (l.window_w <= 0) return;
  if (!overlay_ && l.scale >= 1 && PresentDirect(l)) {
    if (!last_direct_) texture_stale_ = true;
    last_direct_ = true;
  } else {
    // Leaving the direct way: the window's picture is drawn anew.
    if (last_direct_) whole_ = true;
    last_direct_ = false;
    PresentScaled(l);
  }
  whole_ = false;
  NoteShown();
}

void SdlDisplayDevice::NoteShown() {
  ++shown_count_;
  if (count_file_.empty()) return;
  const uint32_t now = SDL_GetTicks();
  if (now - count_written_ms_ < 250) return;
  count_written_ms_ = now;
  // Written aside and renamed, so that a reader never sees a half-written file.
  const std::string aside = count_file_ + ".new";
  if (std::FILE* f = std::fopen(aside.c_str(), "w")) {
    std::fprintf(f, "%lld\n", static_cast<long long>(shown_count_));
    std::fclose(f);
    std::rename(aside.c_str(), count_file_.c_str());
  }
}

void SdlDisplayDevice::ConvertRow(const uint8_t* src, int32_t count, uint32_t* dst) const {
  switch (bytes_per_pixel_) {
    case 1:
      for (int32_t x = 0; x < count; ++x) dst[x] = palette_xrgb_[src[x]];
      break;
    case 2:
      for (int32_t x = 0; x < count; ++x) {
        dst[x] = wide_[static_cast<size_t>(src[2 * x]) | static_cast<size_t>(src[2 * x + 1]) << 8];
      }
      break;
    case 3:
      for (int32_t x = 0; x < count; ++x) {
        const uint8_t* p = src + 3 * x;
        dst[x] = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
      }
      break;
    default:
      std::memcpy(dst, src, static_cast<size_t>(count) * 4);
      break;
  }
}

bool SdlDisplayDevice::PresentDirect(const Layout& l) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  // Only a 32-bit true-colour window takes our rows as they are; any other
  // goes the renderer's way.
  if (surface == nullptr || surface->format->BytesPerPixel != 4 ||
      surface->format->Rmask != 0xFF0000 || surface->format->Gmask != 0x00FF00 ||
      surface->format->Bmask != 0x0000FF || surface->w < l.window_w || surface->h < l.window_h) {
    return false;
  }
  if (surface != last_surface_ || surface->w != last_surface_w_ || surface->h != last_surface_h_) {
    // A new or resized surface holds nothing of ours yet.
    last_surface_ = surface;
    last_surface_w_ = surface->w;
    last_surface_h_ = surface->h;
    whole_ = true;
  }
  if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
  const Box all{0, 0, mode_.width, mode_.height};
  const std::vector<Box> whole_frame{all};
  const std::vector<Box>& boxes = whole_ ? whole_frame : boxes_;
  const int32_t k = l.scale;
  const size_t src_pitch = static_cast<size_t>(mode_.width) * static_cast<size_t>(bytes_per_pixel_);
  const uint8_t* src = buffers_[front_].data();
  auto* base = static_cast<uint8_t*>(surface->pixels);
  row_.resize(static_cast<size_t>(mode_.width));
  for (const Box& b : boxes) {
    const int32_t n = b.x1 - b.x0;
    for (int32_t y = b.y0; y < b.y1; ++y) {
      const uint8_t* s = src + static_cast<size_t>(y) * src_pitch +
                         static_cast<size_t>(b.x0) * static_cast<size_t>(bytes_per_pixel_);
      uint8_t* first = base + static_cast<ptrdiff_t>(l.y + y * k) * surface->pitch +
                       static_cast<ptrdiff_t>(l.x + b.x0 * k) * 4;
      if (k == 1) {
        ConvertRow(s, n, reinterpret_cast<uint32_t*>(first));
        continue;
      }
      ConvertRow(s, n, row_.data());
      auto* d = reinterpret_cast<uint32_t*>(first);
      for (int32_t x = 0; x < n; ++x) {
        for (int32_t i = 0; i < k; ++i) d[x * k + i] = row_[static_cast<size_t>(x)];
      }
      for (int32_t i = 1; i < k; ++i) {
        std::memcpy(first + static_cast<ptrdiff_t>(i) * surface->pitch, first,
                    static_cast<size_t>(n * k) * 4);
      }
    }
  }
  rects_.clear();
  if (whole_) {
    // The borders around the picture are black.
    const SDL_Rect borders[4] = {{0, 0, l.window_w, l.y},
                                 {0, l.y + l.h, l.window_w, l.window_h - l.y - l.h},
                                 {0, l.y, l.x, l.h},
                                 {l.x + l.w, l.y, l.window_w - l.x - l.w, l.h}};
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    for (const SDL_Rect& r : borders) {
      if (r.w > 0 && r.h > 0) SDL_FillRect(surface, &r, 0);
    }
    rects_.push_back({0, 0, l.window_w, l.window_h});
  } else {
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    for (const Box& b : boxes) {
      rects_.push_back({l.x + b.x0 * k, l.y + b.y0 * k, (b.x1 - b.x0) * k, (b.y1 - b.y0) * k});
    }
  }
  if (SDL_UpdateWindowSurfaceRects(window_, rects_.data(), static_cast<int>(rects_.size())) != 0) {
    Trace(SDL_GetError());
    whole_ = true;
    return false;
  }
  return true;
}

bool SdlDisplayDevice::UploadBoxes(const std::vector<Box>& boxes) {
  if (texture_ == nullptr || buffers_.empty()) return false;
  const uint8_t* src = buffers_[front_].data();
  const int32_t src_pitch = mode_.width * bytes_per_pixel_;
  for (const Box& b : boxes) {
    const SDL_Rect r{b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0};
    const uint8_t* first = src + static_cast<ptrdiff_t>(b.y0) * src_pitch +
                           static_cast<ptrdiff_t>(b.x0) * bytes_per_pixel_;
    if (bytes_per_pixel_ != 1) {
      if (SDL_UpdateTexture(texture_, &r, first, src_pitch) != 0) return false;
      continue;
    }
    void* dst = nullptr;
    int dst_pitch = 0;
    if (SDL_LockTexture(texture_, &r, &dst, &dst_pitch) != 0) return false;
    for (int32_t y = 0; y < r.h; ++y) {
      ConvertRow(first + static_cast<ptrdiff_t>(y) * src_pitch, r.w,
                 reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dst) +
                                             static_cast<ptrdiff_t>(y) * dst_pitch));
    }
    SDL_UnlockTexture(texture_);
  }
  return true;
}

bool SdlDisplayDevice::Upload() {
  if (texture_ == nullptr || buffers_.empty()) return false;
  if (texture_stale_) {
    if (!UploadBoxes({Box{0, 0, mode_.width, mode_.height}})) return false;
    texture_stale_ = false;
  }
  return true;
}

void SdlDisplayDevice::PresentScaled(const Layout& l) {
  if (renderer_ == nullptr || texture_ == nullptr) return;
  if (texture_stale_ || whole_) {
    if (!Upload()) return;
  } else if (!UploadBoxes(boxes_)) {
    texture_stale_ = true;
    return;
  }
  SDL_SetTextureScaleMode(texture_, l.scale >= 1 ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
  Show();
}

void SdlDisplayDevice::Show() {
  // A picture that fills the window leaves no border to clear.
  const Layout l = LayoutNow();
  if (l.w != l.window_w || l.h != l.window_h) {
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    SDL_RenderClear(renderer_);
  }
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  // A renderer that waits for the refresh paces the frames by itself; one that
  // returns at once (no working vsync) leaves it to Pace.
  const auto before = std::chrono::steady_clock::now();
  SDL_RenderPresent(renderer_);
  present_waited_ =
      renderer_vsync_ && std::chrono::steady_clock::now() - before > RefreshPeriod() / 4;
}

void SdlDisplayDevice::Redraw() {
  if (!presented_ || window_ == nullptr) return;
  whole_ = true;
  Present();
}

void SdlDisplayDevice::RestoreDesktopMode() {
  // Desktop full screen never changed the desktop's mode; just leave full screen.
  if (window_ != nullptr && options_.fullscreen) SDL_SetWindowFullscreen(window_, 0);
}

void SdlDisplayDevice::ReleaseDisplay() {
  ReleaseSurfaces();
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  renderer_ = nullptr;
  window_ = nullptr;
  if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  video_ = false;
}

void SdlDisplayDevice::Trace(std::string_view message) {
  traces_.emplace_back(message);
  SDL_LogDebug(SDL_LOG_CATEGORY_VIDEO, "%.*s", static_cast<int>(message.size()), message.data());
}

bool SdlDisplayDevice::ToggleFullscreen() {
  if (window_ == nullptr) return false;
  const bool to_full = !options_.fullscreen;
  if (to_full) SDL_GetWindowSize(window_, &windowed_w_, &windowed_h_);
  if (SDL_SetWindowFullscreen(window_, to_full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
    Trace(SDL_GetError());
    return false;
  }
  options_.fullscreen = to_full;
  Redraw();
  return true;
}

RgbFrame SdlDisplayDevice::LastFrameRgb() const {
  RgbFrame out;
  if (buffers_.empty()) return out;
  FrameToRgb(mode_, buffers_[front_].data(), mode_.width * bytes_per_pixel_, palette_, out);
  return out;
}

RgbFrame SdlDisplayDevice::ReadWindowRgb() {
  RgbFrame out;
  if (window_ == nullptr || !presented_) return out;
  Redraw();
  if (last_direct_) {
    // What the window's surface holds is what the window shows.
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (surface == nullptr) return out;
    out.width = surface->w;
    out.height = surface->h;
    out.pixels.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 3);
    if (SDL_ConvertPixels(surface->w, surface->h, surface->format->format, surface->pixels,
                          surface->pitch, SDL_PIXELFORMAT_RGB24, out.pixels.data(),
                          out.width * 3) != 0) {
      out = RgbFrame{};
    }
    return out;
  }
  if (renderer_ == nullptr || !Upload()) return out;
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(renderer_, &w, &h) != 0 || w <= 0 || h <= 0) return out;
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  // Read the whole output, borders included, not only the picture's viewport.
  SDL_RenderSetLogicalSize(renderer_, 0, 0);
  out.width = w;
  out.height = h;
  out.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
  const int rc =
      SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB24, out.pixels.data(), w * 3);
  SDL_RenderSetLogicalSize(renderer_, mode_.width, mode_.height);
  SDL_RenderPresent(renderer_);
  if (rc != 0) out = RgbFrame{};
  return out;
}

void SdlDisplayDevice::SetWindowSize(int32_t width, int32_t height) {
  if (window_ == nullptr) return;
  SDL_SetWindowSize(window_, width, height);
  Redraw();
}

void SdlDisplayDevice::SetStartWindowSize(int32_t width, int32_t height) {
  start_w_ = width;
  start_h_ = height;
}

bool SdlDisplayDevice::WindowedSize(int32_t& width, int32_t& height) const {
  if (window_ == nullptr) return false;
  if (!options_.fullscreen) {
    SDL_GetWindowSize(window_, &width, &height);
  } else {
    width = windowed_w_;
    height = windowed_h_;
  }
  return width > 0 && height > 0;
}

void SdlDisplayDevice::Minimise() {
  if (window_ != nullptr) SDL_MinimizeWindow(window_);
}

void SdlDisplayDevice::ShowPointer(bool shown) {
  if (window_ != nullptr) SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

void SdlDisplayDevice::Raise() {
  if (window_ == nullptr) return;
  if ((SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0) SDL_RestoreWindow(window_);
  SDL_RaiseWindow(window_);
}

void SdlDisplayDevice::BeginOverlay() {
  overlay_ = true;
  if (renderer_ != nullptr) SDL_RenderSetLogicalSize(renderer_, 0, 0);
}

void SdlDisplayDevice::EndOverlay() {
  overlay_ = false;
  if (renderer_ == nullptr) return;
  SDL_RenderSetLogicalSize(renderer_, mode_.width, mode_.height);
  // The forms drew over the window: it is shown anew, whole.
  last_surface_ = nullptr;
  Redraw();
}

void SdlDisplayDevice::DrawBackdrop() {
  if (renderer_ == nullptr || texture_ == nullptr || !presented_ || mode_.width <= 0) return;
  if (!Upload()) return;
  int w = 0, h = 0;
  if (SDL_GetRendererOutputSize(renderer_, &w, &h) != 0 || w <= 0 || h <= 0) return;
  const double scale =
      std::min(static_cast<double>(w) / mode_.width, static_cast<double>(h) / mode_.height);
  SDL_Rect dst;
  dst.w = static_cast<int>(mode_.width * scale);
  dst.h = static_cast<int>(mode_.height * scale);
  dst.x = (w - dst.w) / 2;
  dst.y = (h - dst.h) / 2;
  SDL_RenderCopy(renderer_, texture_, nullptr, &dst);
}

RgbFrame SdlDisplayDevice::ReadOverlayRgb() {
  RgbFrame out;
  int w = 0, h = 0;
  if (renderer_ == nullptr || SDL_GetRendererOutputSize(renderer_, &w, &h) != 0 || w <= 0 ||
      h <= 0) {
    return out;
  }
  out.width = w;
  out.height = h;
  out.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h) * 3, 0);
  if (SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_RGB24, out.pixels.data(), w * 3) !=
      0) {
    out = RgbFrame{};
  }
  return out;
}

bool WriteExitPictures(SdlDisplayDevice& device, const std::string& composed,
                       const std::string& window, std::string& failed) {
  if (!composed.empty()) {
    const RgbFrame shot = device.LastFrameRgb();
    if (shot.pixels.empty() || !WritePng(composed, shot)) return failed = composed, false;
  }
  if (!window.empty()) {
    const RgbFrame shown = device.ReadWindowRgb();
    if (shown.pixels.empty() || !WritePng(window, shown)) return failed = window, false;
  }
  return true;
}

uint32_t SdlDisplayDevice::window_id() const {
  return window_ != nullptr ? SDL_GetWindowID(window_) : 0;
}

}  // namespace platform
