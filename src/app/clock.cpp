#include "app/clock.h"

#include <thread>

namespace app {

double SteadyClock::Now() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
      .count();
}

void SteadyClock::Sleep(double ms) {
  std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms));
}

}  // namespace app
