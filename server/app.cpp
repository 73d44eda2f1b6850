#include "app.h"

#include <httplib.h>

#include <chrono>
#include <cstdio>

#include "conn_gate.h"
#include "store/report_check.h"
#include "web.h"

namespace server {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr int kDefaultLimit = 100;
constexpr int kMostLimit = 1000;

int64_t SystemMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void Secure(httplib::Response& res) {
  // The pages need no script and load nothing from elsewhere.
  res.set_header("Content-Security-Policy",
                 "default-src 'none'; style-src 'unsafe-inline'; frame-ancestors 'none'");
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("Referrer-Policy", "no-referrer");
}

void Html(httplib::Response& res, int status, const std::string& page) {
  res.status = status;
  Secure(res);
  res.set_header("Cache-Control", "no-store");
  res.set_content(page, kHtml);
}

void Refuse(httplib::Response& res, int status, std::string_view reason) {
  Html(res, status, ErrorPage(status, reason));
}

// Text for a log line: no control characters to drive a terminal.
std::string LogSafe(std::string_view s) {
  std::string out = ValidUtf8(s);
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return out;
}

GateLimits GateLimitsOf(const AppOptions& o) {
  GateLimits g;
  g.max_header_bytes = o.max_header_bytes;
  g.max_header_lines = o.max_header_lines;
  g.max_target = o.max_target;
  g.header_ms = o.header_timeout_ms;
  g.body_ms = o.body_timeout_ms;
  g.workers = o.threads < 1 ? 1 : o.threads;
  const size_t body = o.max_body;
  g.body_limit = [body](std::string_view, std::string_view) { return body; };
  return g;
}

}  // namespace

std::string ClientAddress(const std::string& peer, std::string_view forwarded,
                          const std::vector<std::string>& trusted) {
  auto is_trusted = [&](std::string_view a) {
    for (const auto& t : trusted) {
      if (t == a) return true;
    }
    return false;
  };
  if (!is_trusted(peer)) return peer;
  // Walk the list from the right: each proxy appends the address it saw.
  std::string client = peer;
  while (!forwarded.empty()) {
    const size_t comma = forwarded.rfind(',');
    std::string_view hop =
        comma == std::string_view::npos ? forwarded : forwarded.substr(comma + 1);
    forwarded = comma == std::string_view::npos ? std::string_view() : forwarded.substr(0, comma);
    while (!hop.empty() && hop.front() == ' ') hop.remove_prefix(1);
    while (!hop.empty() && hop.back() == ' ') hop.remove_suffix(1);
    if (hop.empty() || hop.size() > 64) break;
    client = std::string(hop);
    if (!is_trusted(hop)) break;
  }
  return client;
}

bool ParseListen(const std::string& text, std::string& host, int& port) {
  size_t colon;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return false;
    host = text.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    host = text.substr(0, colon);
    if (host.find(':') != std::string::npos) return false;  // IPv6 needs brackets
  }
  const std::string digits = text.substr(colon + 1);
  if (digits.empty() || digits.size() > 5) return false;
  int p = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    p = p * 10 + (c - '0');
  }
  if (p > 65535 || host.empty()) return false;
  port = p;
  return true;
}

App::App(ScoreDb& db, AppOptions options)
    : db_(db),
      opt_(std::move(options)),
      limiter_(opt_.rate_limit),
      http_(std::make_unique<GatedServer>(GateLimitsOf(opt_))) {
  if (!opt_.now_ms) opt_.now_ms = SystemMs;
  http_->set_payload_max_length(opt_.max_body);
  http_->set_read_timeout(5);
  // Answers are small and come at once: no Nagle delay, and a browser or a
  // proxy may keep its connection for many requests.
  http_->set_tcp_nodelay(true);
  http_->set_keep_alive_max_count(100);
  http_->set_write_timeout(5);
  Routes();
}

App::~App() = default;

int App::Bind(const std::string& host, int port) {
  if (port == 0) return http_->bind_to_any_port(host);
  return http_->bind_to_port(host, port) ? port : -1;
}

bool App::Serve() {
  const bool served = http_->listen_after_bind();
  http_->StopGate();
  return served;
}

void App::Stop() { http_->stop(); }

void App::Routes() {
  http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (req.target.size() > opt_.max_target) {
      Refuse(res, 414, "The address is longer than any this server answers.");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });

  http_->Get("/hico.php", [this](const httplib::Request& req, httplib::Response& res) {
    const int64_t now = opt_.now_ms();
    const std::string client = ClientAddress(
        req.remote_addr, req.get_header_value("X-Forwarded-For"), opt_.trusted_proxies);
    if (!limiter_.Allow(client, now)) {
      res.set_header("Retry-After", std::to_string(limiter_.RetryAfter(client, now)));
      Refuse(res, 429, "Too many reports from this address; try again in a minute.");
      return;
    }
    const auto query = ParseQuery(QueryOf(req.target));
    if (!query) return Refuse(res, 400, "The address is malformed.");
    bool twice = false;
    const auto tt = QueryValue(*query, "tt", &twice);
    if (twice) return Refuse(res, 400, "The address names the game twice.");
    if (!tt || *tt != "gf") return Refuse(res, 400, "The address is not for this game's scores.");
    const auto sc = QueryValue(*query, "sc", &twice);
    if (twice) return Refuse(res, 400, "The address holds two reports.");
    if (!sc) return Refuse(res, 400, "The address holds no report.");

    const store::ReportCheck check = store::CheckReport(*sc);
    if (!check.ok()) return Refuse(res, 400, store::ReportFaultText(check.fault));
    // A HEAD (a link checker, a prefetch) learns whether the report is sound
    // but stores nothing: only a real visit counts.
    if (req.method == "HEAD") return Html(res, 200, "");
    const store::ScoreReport& r = check.decoded->report;

    NewScore s;
    s.score = r.score;
    s.player = ValidUtf8(r.player);
    s.owner = ValidUtf8(r.owner);
    s.user = r.user;
    s.key = r.key;
    s.received_ms = now;
    AddResult added;
    try {
      added = db_.Add(s);
    } catch (const DbError& e) {
      std::lock_guard lock(log_mu_);
      std::fprintf(stderr, "gfall-server: %s\n", e.what());
      return Refuse(res, 503, "The score list cannot be reached just now; try again later.");
    }
    if (added.replay) {
      return Refuse(res, 409, "This report was received before; each report counts once.");
    }
    Html(res, 200, ReceivedPage({s.player, s.owner, s.score, added.rank, added.best}));
  });

  http_->Get("/", [this](const httplib::Request&, httplib::Response& res) {
    try {
      Html(res, 200, LeaderboardPage(db_.Top(kDefaultLimit)));
    } catch (const DbError&) {
      Refuse(res, 503, "The score list cannot be reached just now; try again later.");
    }
  });

  http_->Get("/api/scores", [this](const httplib::Request& req, httplib::Response& res) {
    int limit = kDefaultLimit;
    const auto query = ParseQuery(QueryOf(req.target));
    bool twice = false;
    const auto text = query ? QueryValue(*query, "limit", &twice) : std::nullopt;
    auto bad = [&res] {
      res.status = 400;
      Secure(res);
      res.set_content("{\"error\":\"limit must be a whole number from 1 to 1000\"}\n",
                      "application/json");
    };
    if (!query || twice) return bad();
    if (text) {
      if (text->empty() || text->size() > 4) return bad();
      limit = 0;
      for (char c : *text) {
        if (c < '0' || c > '9') return bad();
        limit = limit * 10 + (c - '0');
      }
      if (limit < 1 || limit > kMostLimit) return bad();
    }
    try {
      const auto entries = db_.Top(limit);
      Secure(res);
      res.set_header("Cache-Control", "no-store");
      res.set_content(ScoresJson(entries), "application/json");
    } catch (const DbError&) {
      res.status = 503;
      res.set_content("{\"error\":\"database unavailable\"}\n", "application/json");
    }
  });

  http_->Get("/healthz", [this](const httplib::Request&, httplib::Response& res) {
    // Healthy means a report could be stored now, not only that the database answers.
    const bool ok = db_.CanStore(opt_.now_ms());
    res.status = ok ? 200 : 503;
    res.set_content(ok ? "ok\n" : "the database cannot store reports\n", "text/plain");
  });

  http_->set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (!res.body.empty()) return;
    if (res.status == 404) return Refuse(res, 404, "There is no such page here.");
    if (res.status == 413)
      return Refuse(res, 413, "The request is larger than any this server takes.");
    if (res.status == 414)
      return Refuse(res, 414, "The address is longer than any this server answers.");
  });

  http_->set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    if (!opt_.log) return;
    // A request cpp-httplib could not parse has no method or address: the
    // gate read them.
    const GateRequest& gate = CurrentGateRequest();
    const std::string peer = req.remote_addr.empty() ? gate.peer : req.remote_addr;
    LogLine(
        ClientAddress(peer, req.get_header_value("X-Forwarded-For"), opt_.trusted_proxies),
        req.method.empty() ? gate.method : req.method, req.path.empty() ? gate.path : req.path,
        res.status,
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - gate.started)
            .count());
  });
  http_->set_refusal_logger([this](const GateRefusal& r) {
    if (opt_.log) LogLine(r.peer, r.method, r.path, r.status, r.ms);
  });
}

void App::LogLine(const std::string& client, const std::string& method, const std::string& path,
                  int status, double ms) {
  std::lock_guard lock(log_mu_);
  // The path only: the report text would fill the log and says nothing.
  std::fprintf(stderr, "%s %s %s %s %d %.1fms\n", IsoTime(opt_.now_ms()).c_str(),
               LogSafe(client).c_str(), method.empty() ? "-" : LogSafe(method).c_str(),
               path.empty() ? "-" : LogSafe(path).c_str(), status, ms);
}

}  // namespace server
