#include "platform/sdl_display_device.h"

#include <SDL.h>

#include <algorithm>
#include <bit>
#include <cstring>

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
  window_ = SDL_CreateWindow(options_.title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                             mode_.width, mode_.height, flags);
  if (window_ == nullptr) {
    Trace(SDL_GetError());
    return false;
  }
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
  const uint32_t vsync = options_.vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  renderer_ = SDL_CreateRenderer(window_, -1, vsync);
  if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
  if (renderer_ == nullptr) {
    Trace(SDL_GetError());
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    return false;
  }
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
    if (!options_.fullscreen) SDL_SetWindowSize(window_, width, height);
  }
  return true;
}

void SdlDisplayDevice::ReleaseSurfaces() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  buffers_.clear();
  back_ = front_ = 0;
  presented_ = false;
}

bool SdlDisplayDevice::CreateSurfaces(int32_t back_buffers, bool) {
  if (mode_.width <= 0 || back_buffers < 1) return false;
  ReleaseSurfaces();
  const size_t bytes = static_cast<size_t>(mode_.width) * static_cast<size_t>(mode_.height) *
                       static_cast<size_t>(bytes_per_pixel_);
  buffers_.assign(static_cast<size_t>(back_buffers) + 1, std::vector<uint8_t>(bytes, 0));
  front_ = 0;
  back_ = 1;
  if (renderer_ != nullptr) {
    texture_ = SDL_CreateTexture(renderer_, TextureFormatOf(mode_), SDL_TEXTUREACCESS_STREAMING,
                                 mode_.width, mode_.height);
    if (texture_ == nullptr) {
      Trace(SDL_GetError());
      buffers_.clear();
      return false;
    }
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
  front_ = back_;
  back_ = (back_ + 1) % buffers_.size();
  presented_ = true;
  if (Upload()) Show();
}

bool SdlDisplayDevice::Upload() {
  if (texture_ == nullptr || buffers_.empty()) return false;
  const uint8_t* src = buffers_[front_].data();
  const int32_t src_pitch = mode_.width * bytes_per_pixel_;
  if (bytes_per_pixel_ != 1) return SDL_UpdateTexture(texture_, nullptr, src, src_pitch) == 0;
  void* dst = nullptr;
  int dst_pitch = 0;
  if (SDL_LockTexture(texture_, nullptr, &dst, &dst_pitch) != 0) return false;
  for (int32_t y = 0; y < mode_.height; ++y) {
    const uint8_t* s = src + static_cast<ptrdiff_t>(y) * src_pitch;
    uint32_t* d = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(dst) +
                                              static_cast<ptrdiff_t>(y) * dst_pitch);
    for (int32_t x = 0; x < mode_.width; ++x) d[x] = palette_xrgb_[s[x]];
  }
  SDL_UnlockTexture(texture_);
  return true;
}

void SdlDisplayDevice::Show() {
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

void SdlDisplayDevice::Redraw() {
  if (!presented_ || renderer_ == nullptr) return;
  if (Upload()) Show();
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
  if (renderer_ == nullptr || !presented_ || !Upload()) return out;
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
  if (renderer_ != nullptr) SDL_RenderSetLogicalSize(renderer_, 0, 0);
}

void SdlDisplayDevice::EndOverlay() {
  if (renderer_ == nullptr) return;
  SDL_RenderSetLogicalSize(renderer_, mode_.width, mode_.height);
  Redraw();
}

void SdlDisplayDevice::DrawBackdrop() {
  if (renderer_ == nullptr || texture_ == nullptr || !presented_ || mode_.width <= 0) return;
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
