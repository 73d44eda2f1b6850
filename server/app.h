#pragma once
// The score server's HTTP side: the report address, the leaderboard page,
// the JSON list of scores and the health check, over one ScoreDb.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "rate_limit.h"
#include "score_db.h"

namespace server {

class GatedServer;

struct AppOptions {
  int rate_limit = 30;                  // reports per minute per client address; 0: no limit
  size_t max_target = 1024;             // longest request target accepted (414 beyond)
  size_t max_body = 1024;               // longest request body accepted (413 beyond)
  int threads = 8;                      // request threads
  size_t max_header_bytes = 16 * 1024;  // request line and headers (431 beyond)
  int max_header_lines = 64;            // header lines (431 beyond)
  int header_timeout_ms = 10'000;       // to send a request's headers (408 beyond)
  int body_timeout_ms = 30'000;         // to send its body after them (408 beyond)
  bool log = true;                      // one line per request on stderr
  std::function<int64_t()> now_ms;      // the clock (tests may replace it)
  // Addresses of reverse proxies whose X-Forwarded-For is believed: a request
  // from one of them counts as coming from the nearest address in that header
  // that is not a trusted proxy itself.
  std::vector<std::string> trusted_proxies;
};

class App {
 public:
  App(ScoreDb& db, AppOptions options);
  ~App();

  // Binds host:port (port 0: any free port). Returns the port, or -1.
  int Bind(const std::string& host, int port);
  // Serves until Stop(); false when serving failed.
  bool Serve();
  void Stop();

 private:
  void Routes();
  void LogLine(const std::string& client, const std::string& method, const std::string& path,
               int status, double ms);
  ScoreDb& db_;
  AppOptions opt_;
  RateLimiter limiter_;
  std::unique_ptr<GatedServer> http_;
  std::mutex log_mu_;
};

// The client address of a request from `peer` carrying X-Forwarded-For
// `forwarded` (may be empty), given the trusted proxies.
std::string ClientAddress(const std::string& peer, std::string_view forwarded,
                          const std::vector<std::string>& trusted);

// "127.0.0.1:8087", "[::1]:8087", "localhost:0" -> host and port; false when malformed.
bool ParseListen(const std::string& text, std::string& host, int& port);

}  // namespace server
