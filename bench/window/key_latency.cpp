// Key-to-pixel latency of a window on an X server: presses a key through the
// XTEST extension (as xdotool does), then reads a small box of the screen in a
// tight loop until its pixels change, and prints the time from the press to
// the change for each of N presses, then the median and the range.
//
//   key_latency KEYSYM X Y W H [PRESSES]
//
// X Y W H is the window's area; the box watched is found first, as the
// bounding box of what holding the key for a moment changes there (the
// flipper), so nothing else should move in the window meanwhile.
// Built by bench/window/latency.sh (Xlib and libXtst, no headers needed for
// the one XTEST call).

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern "C" int XTestFakeKeyEvent(Display*, unsigned int keycode, Bool is_press,
                                 unsigned long delay);

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char> Grab(Display* d, Window root, int x, int y, int w, int h) {
  XImage* img = XGetImage(d, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                          AllPlanes, ZPixmap);
  std::vector<char> out;
  if (img == nullptr) return out;
  out.assign(img->data, img->data + static_cast<size_t>(img->bytes_per_line) * h);
  XDestroyImage(img);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: key_latency KEYSYM X Y W H [PRESSES]\n");
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) {
    std::fprintf(stderr, "key_latency: no X display\n");
    return 2;
  }
  const KeySym sym = XStringToKeysym(argv[1]);
  const unsigned keycode = XKeysymToKeycode(d, sym);
  int x = std::atoi(argv[2]), y = std::atoi(argv[3]), w = std::atoi(argv[4]),
      h = std::atoi(argv[5]);
  const int presses = argc > 6 ? std::atoi(argv[6]) : 30;
  if (keycode == 0 || w <= 0 || h <= 0) {
    std::fprintf(stderr, "key_latency: bad key or box\n");
    return 2;
  }
  const Window root = DefaultRootWindow(d);
  {
    // The flipper's box: what changes while the key is held.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    XImage* rest = XGetImage(d, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                             AllPlanes, ZPixmap);
    XTestFakeKeyEvent(d, keycode, True, 0);
    XFlush(d);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    XImage* held = XGetImage(d, root, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                             AllPlanes, ZPixmap);
    XTestFakeKeyEvent(d, keycode, False, 0);
    XFlush(d);
    if (rest == nullptr || held == nullptr) return 2;
    int x0 = w, y0 = h, x1 = -1, y1 = -1;
    for (int j = 0; j < h; ++j) {
      for (int i = 0; i < w; ++i) {
        if (XGetPixel(rest, i, j) == XGetPixel(held, i, j)) continue;
        x0 = std::min(x0, i), y0 = std::min(y0, j), x1 = std::max(x1, i), y1 = std::max(y1, j);
      }
    }
    XDestroyImage(rest);
    XDestroyImage(held);
    if (x1 < 0) {
      std::fprintf(stderr, "key_latency: holding the key changed nothing\n");
      return 1;
    }
    std::printf("box %d %d %d %d\n", x + x0, y + y0, x1 - x0 + 1, y1 - y0 + 1);
    std::fflush(stdout);
    const int bx = x + x0, by = y + y0;
    w = x1 - x0 + 1;
    h = y1 - y0 + 1;
    x = bx;
    y = by;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  std::vector<double> ms;
  for (int i = 0; i < presses; ++i) {
    // A different phase against the display's refresh each time.
    std::this_thread::sleep_for(std::chrono::milliseconds(250 + (i * 37) % 100));
    const std::vector<char> rest = Grab(d, root, x, y, w, h);
    const Clock::time_point t0 = Clock::now();
    XTestFakeKeyEvent(d, keycode, True, 0);
    XFlush(d);
    double took = -1.0;
    while (Clock::now() - t0 < std::chrono::milliseconds(500)) {
      if (Grab(d, root, x, y, w, h) != rest) {
        took = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        break;
      }
    }
    XTestFakeKeyEvent(d, keycode, False, 0);
    XFlush(d);
    if (took >= 0.0) ms.push_back(took);
    std::printf("%s\n", took >= 0.0 ? std::to_string(took).c_str() : "no change");
  }
  XCloseDisplay(d);
  if (ms.empty()) return 1;
  std::sort(ms.begin(), ms.end());
  std::printf("median %.1f ms (%.1f-%.1f) over %zu presses\n", ms[ms.size() / 2], ms.front(),
              ms.back(), ms.size());
  return 0;
}
