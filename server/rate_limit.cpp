#include "rate_limit.h"

#include <cmath>

namespace server {

void RateLimiter::Roll(Window& w, int64_t minute) const {
  if (w.minute == minute) return;
  w.previous = w.minute + 1 == minute ? w.current : 0;
  w.current = 0;
  w.minute = minute;
}

double RateLimiter::Estimate(const Window& w, int64_t now_ms) const {
  // The share of the previous minute that still lies within the last 60 s.
  const double into = static_cast<double>(now_ms % 60000) / 60000.0;
  return w.current + w.previous * (1.0 - into);
}

void RateLimiter::Prune(int64_t minute) {
  if (minute == pruned_minute_) return;
  pruned_minute_ = minute;
  for (auto it = clients_.begin(); it != clients_.end();) {
    if (it->second.minute + 1 < minute) {
      it = clients_.erase(it);
    } else {
      ++it;
    }
  }
}

bool RateLimiter::Allow(const std::string& client, int64_t now_ms) {
  if (limit_ <= 0) return true;
  const int64_t minute = now_ms / 60000;
  std::lock_guard lock(mu_);
  Prune(minute);
  Window& w = clients_[client];
  Roll(w, minute);
  if (Estimate(w, now_ms) + 1.0 > limit_ + 1e-9) return false;
  ++w.current;
  return true;
}

int RateLimiter::RetryAfter(const std::string& client, int64_t now_ms) {
  if (limit_ <= 0) return 1;
  std::lock_guard lock(mu_);
  const auto it = clients_.find(client);
  if (it == clients_.end()) return 1;
  // Whole seconds until the previous minute's share has fallen enough, else
  // until the current minute is over.
  const Window& w = it->second;
  const double into = static_cast<double>(now_ms % 60000) / 60000.0;
  if (w.previous > 0 && w.current + 1 <= limit_) {
    const double needed = 1.0 - static_cast<double>(limit_ - w.current - 1) / w.previous;
    const double wait = (needed - into) * 60.0;
    if (wait > 0) return static_cast<int>(std::ceil(wait));
  }
  return static_cast<int>(std::ceil((1.0 - into) * 60.0)) + 1;
}

}  // namespace server
