#pragma once
// At most N reports per client address in any minute (a sliding window
// approximated by the current and the previous whole minute).

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace server {

class RateLimiter {
 public:
  // 0 lets everything through.
  explicit RateLimiter(int per_minute) : limit_(per_minute) {}

  // True when the client may send one more report at `now_ms`; counts it.
  bool Allow(const std::string& client, int64_t now_ms);

  // Seconds until the client may try again (at least 1).
  int RetryAfter(const std::string& client, int64_t now_ms);

 private:
  struct Window {
    int64_t minute = 0;
    int current = 0;
    int previous = 0;
  };
  double Estimate(const Window& w, int64_t now_ms) const;
  void Roll(Window& w, int64_t minute) const;
  void Prune(int64_t minute);

  int limit_;
  std::mutex mu_;
  std::unordered_map<std::string, Window> clients_;
  int64_t pruned_minute_ = 0;
};

}  // namespace server
