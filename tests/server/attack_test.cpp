// Slow and oversized clients against a bare gfall-server and against the
// production set-up (nginx in front of two servers over PostgreSQL, from
// server/deploy/nginx-gfall.conf): the health check must keep answering
// within 100 ms while they are at it, and a bare server must not grow.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "pg_cluster.h"
#include "process.h"
#include "server_fixture.h"

namespace server_test {
namespace {

using Clock = std::chrono::steady_clock;

int Connect(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, std::string_view s) {
  while (!s.empty()) {
    const ssize_t n = send(fd, s.data(), s.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    s.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// What the server answered on fd within `ms` (empty when nothing).
std::string ReadAnswer(int fd, int ms) {
  std::string out;
  const auto until = Clock::now() + std::chrono::milliseconds(ms);
  char buf[4096];
  while (Clock::now() < until) {
    pollfd p{fd, POLLIN, 0};
    const int left = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
    if (poll(&p, 1, std::max(left, 1)) <= 0) break;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

// Clients that send a request's headers a byte every 200 ms and never end them.
class SlowHeaders {
 public:
  SlowHeaders(int port, int clients) {
    for (int i = 0; i < clients; ++i) {
      const int fd = Connect(port);
      if (fd >= 0 && SendAll(fd, "GET /healthz HTTP/1.1\r\nHost: x\r\nX-Slow: "))
        fds_.push_back(fd);
    }
    thread_ = std::thread([this] {
      while (!stop_) {
        for (int fd : fds_) SendAll(fd, "a");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
      }
    });
  }
  ~SlowHeaders() {
    stop_ = true;
    thread_.join();
    for (int fd : fds_) close(fd);
  }
  size_t connected() const { return fds_.size(); }
  int fd(size_t i) const { return fds_[i]; }

 private:
  std::vector<int> fds_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// One client sending `bytes` of header lines as fast as it is let; answer()
// is what came back.
class LargeHeaders {
 public:
  LargeHeaders(int port, size_t bytes) {
    thread_ = std::thread([this, port, bytes] {
      const int fd = Connect(port);
      if (fd < 0) return;
      timeval tv{2, 0};
      setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
      SendAll(fd, "GET /healthz HTTP/1.1\r\nHost: x\r\n");
      const std::string line = "X-Pad: " + std::string(1000, 'a') + "\r\n";
      for (size_t sent = 0; sent < bytes && !stop_; sent += line.size()) {
        if (!SendAll(fd, line)) break;
        sent_ += line.size();
      }
      answer_ = ReadAnswer(fd, 2000);
      close(fd);
      done_ = true;
    });
  }
  ~LargeHeaders() {
    stop_ = true;
    Wait();
  }
  void Wait() {
    if (thread_.joinable()) thread_.join();
  }
  bool done() const { return done_; }
  const std::string& answer() const { return answer_; }
  size_t sent() const { return sent_; }

 private:
  std::atomic<bool> stop_{false}, done_{false};
  std::atomic<size_t> sent_{0};
  std::string answer_;
  std::thread thread_;
};

// The slowest of `n` health checks, each on a new connection; -1 when one
// failed.
double SlowestHealthCheck(int port, int n) {
  double worst = 0;
  for (int i = 0; i < n; ++i) {
    httplib::Client c("127.0.0.1", port);
    c.set_connection_timeout(1, 0);
    c.set_read_timeout(1, 0);
    const auto t0 = Clock::now();
    const auto res = c.Get("/healthz");
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (!res || res->status != 200) return -1;
    worst = std::max(worst, ms);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return worst;
}

long RssKb(pid_t pid) {
  const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
  std::smatch m;
  static const std::regex rss("VmRSS:\\s+([0-9]+) kB");
  return std::regex_search(status, m, rss) ? std::stol(m[1].str()) : -1;
}

// Both attacks against the server at `port`.
void Attack(int port, pid_t watched) {
  {
    // Twice as many slow clients as the server has workers.
    SlowHeaders slow(port, 16);
    ASSERT_EQ(slow.connected(), 16u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const double worst = SlowestHealthCheck(port, 10);
    EXPECT_GE(worst, 0) << "a health check failed beside slow clients";
    EXPECT_LT(worst, 100) << "ms, beside slow clients";
  }
  {
    const long before = watched > 0 ? RssKb(watched) : 0;
    LargeHeaders large(port, 28u << 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double worst = SlowestHealthCheck(port, 10);
    EXPECT_GE(worst, 0) << "a health check failed beside a large request";
    EXPECT_LT(worst, 100) << "ms, beside a large request";
    large.Wait();
    if (watched > 0) {
      // Refused early: the sender is stopped long before its 28 MB are out.
      EXPECT_LT(large.sent(), 8u << 20) << "bytes taken before the refusal";
    } else {
      // nginx refuses it and reads the rest into nothing before closing.
      EXPECT_NE(large.answer().find("HTTP/1.1 400 "), std::string::npos)
          << large.answer().substr(0, 300);
    }
    if (watched > 0) {
      EXPECT_LT(RssKb(watched) - before, 8 * 1024) << "kB grown";
    }
  }
}

TEST(Attacks, ABareServerHoldsAgainstSlowAndLargeClients) {
  const auto dir = MakeTempDir("gfall_attack");
  {
    ServerProcess s({"--db", "sqlite:" + (dir / "scores.sqlite").string(), "--header-timeout", "1"},
                    dir / "server.log");
    ASSERT_GT(s.port(), 0) << s.log();
    Attack(s.port(), s.pid());

    // A client that never ends its headers is answered 408 when its time is
    // up, and the log line has its address, method and true duration.
    {
      SlowHeaders slow(s.port(), 1);
      ASSERT_EQ(slow.connected(), 1u);
      const std::string answer = ReadAnswer(slow.fd(0), 3000);
      EXPECT_EQ(answer.rfind("HTTP/1.1 408 ", 0), 0u) << answer;
    }
    // Too many header lines, and a malformed request line.
    std::string many = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 100; ++i) many += "X-" + std::to_string(i) + ": 1\r\n";
    for (const auto& [request, status] : std::vector<std::pair<std::string, std::string>>{
             {many + "\r\n", "431"}, {"GET /\r\n\r\n", "400"}}) {
      const int fd = Connect(s.port());
      ASSERT_TRUE(SendAll(fd, request));
      const std::string answer = ReadAnswer(fd, 2000);
      close(fd);
      EXPECT_EQ(answer.rfind("HTTP/1.1 " + status + " ", 0), 0u) << answer;
    }
    EXPECT_EQ(s.Stop(), 0);
    const std::string log = s.log();
    std::smatch m;
    EXPECT_TRUE(
        std::regex_search(log, m, std::regex("127\\.0\\.0\\.1 GET /healthz 408 ([0-9.]+)ms")))
        << log;
    if (!m.empty()) {
      EXPECT_NEAR(std::stod(m[1].str()), 1000.0, 300.0);
    }
    EXPECT_NE(log.find("127.0.0.1 GET / 431 "), std::string::npos) << log;
    EXPECT_NE(log.find("127.0.0.1 - - 400 "), std::string::npos) << log;
  }
  std::filesystem::remove_all(dir);
}

// A free loopback port among ours (18700-18799).
int FreePort() {
  for (int port = 18700; port < 18800; ++port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    if (free) return port;
  }
  return -1;
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

TEST(Attacks, TheProductionSetUpHoldsAgainstSlowAndLargeClients) {
  const std::string bin = PostgresBin();
  if (bin.empty()) GTEST_SKIP() << "PostgreSQL is not installed";
  if (!std::filesystem::exists("/usr/sbin/nginx")) GTEST_SKIP() << "nginx is not installed";
  const auto dir = MakeTempDir("gfat");
  {
    Cluster pg(bin, dir);
    ASSERT_EQ(pg.error(), "");
    const auto logs = std::filesystem::path(dir.string() + "-logs");
    std::filesystem::create_directories(logs);
    ServerProcess a({"--db", pg.conninfo(), "--trusted-proxy", "127.0.0.1"}, logs / "a.log");
    ServerProcess b({"--db", pg.conninfo(), "--trusted-proxy", "127.0.0.1"}, logs / "b.log");
    ASSERT_GT(a.port(), 0) << a.log();
    ASSERT_GT(b.port(), 0) << b.log();

    // The documented site, on our ports, inside a configuration of its own.
    const char* source = std::getenv("GFALL_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::string site = ReadFile(std::filesystem::path(source) / "server/deploy/nginx-gfall.conf");
    ASSERT_NE(site.find("127.0.0.1:8088"), std::string::npos);
    const int port = FreePort();
    ASSERT_GT(port, 0);
    site = Replace(site, "127.0.0.1:8088", "127.0.0.1:" + std::to_string(a.port()));
    site = Replace(site, "127.0.0.1:8089", "127.0.0.1:" + std::to_string(b.port()));
    site = Replace(site, "listen 80;", "listen 127.0.0.1:" + std::to_string(port) + ";");
    const std::string d = logs.string();
    std::ofstream(logs / "nginx.conf")
        << (geteuid() == 0 ? "user root;\n" : "") << "worker_processes 1;\npid " << d
        << "/nginx.pid;\nerror_log " << d << "/error.log;\nevents { worker_connections 512; }\n"
        << "http {\naccess_log " << d << "/access.log;\nclient_body_temp_path " << d
        << "/body;\nproxy_temp_path " << d << "/proxy;\nfastcgi_temp_path " << d
        << "/fcgi;\nuwsgi_temp_path " << d << "/uwsgi;\nscgi_temp_path " << d << "/scgi;\n"
        << site << "}\n";
    ShellRun started = Shell("/usr/sbin/nginx -p " + d + " -c " + d + "/nginx.conf");
    ASSERT_EQ(started.status, 0) << started.out;
    std::string pid_text;
    for (int i = 0; i < 100 && pid_text.empty(); ++i) {
      pid_text = ReadFile(logs / "nginx.pid");
      if (pid_text.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    const pid_t nginx = pid_text.empty() ? -1 : std::stoi(pid_text);
    ASSERT_GT(nginx, 0);

    // Both servers answer through nginx.
    httplib::Client c("127.0.0.1", port);
    for (int i = 0; i < 6; ++i) {
      const auto res = c.Get("/healthz");
      ASSERT_TRUE(res);
      EXPECT_EQ(res->status, 200);
    }
    EXPECT_NE(a.log().find("GET /healthz 200"), std::string::npos) << a.log();
    EXPECT_NE(b.log().find("GET /healthz 200"), std::string::npos) << b.log();

    Attack(port, -1);

    kill(nginx, SIGQUIT);
    for (int i = 0; i < 100 && kill(nginx, 0) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (kill(nginx, 0) == 0) kill(nginx, SIGKILL);
    a.Stop();
    b.Stop();
    pg.Stop();
    std::filesystem::remove_all(logs);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace server_test
