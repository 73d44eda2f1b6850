#include "conn_gate.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace server {

using Clock = std::chrono::steady_clock;

namespace {

thread_local GateRequest t_request;

// Every request runs on the worker that takes it; the accepting thread only
// hands the new socket to the gate, so it may run the task at once.
class InlineQueue final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> fn) override { fn(); }
  void shutdown() override {}
};

void PeerOf(int fd, std::string& ip, int& port) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  ip.clear();
  port = 0;
  if (getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return;
  char host[NI_MAXHOST];
  char serv[NI_MAXSERV];
  if (getnameinfo(reinterpret_cast<sockaddr*>(&addr), len, host, sizeof host, serv, sizeof serv,
                  NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
    ip = host;
    port = std::atoi(serv);
  }
}

bool IEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (std::tolower(x) != std::tolower(y)) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

const char* StatusText(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 408:
      return "Request Timeout";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

int MsUntil(Clock::time_point t, Clock::time_point now) {
  if (t <= now) return 0;
  return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(t - now).count());
}

}  // namespace

const GateRequest& CurrentGateRequest() { return t_request; }

struct GatedServer::Conn {
  int fd = -1;
  std::string peer;
  int peer_port = 0;
  std::string buf;  // bytes read and not yet served
  enum Phase { kIdle, kHeader, kBody, kDraining } phase = kIdle;
  Clock::time_point deadline;
  Clock::time_point first_byte;
  size_t header_len = 0;
  size_t body_len = 0;
  size_t drained = 0;
  std::string method;
  std::string target;
  int served = 0;

  ~Conn() {
    if (fd >= 0) close(fd);
  }
  std::string Path() const { return target.substr(0, target.find('?')); }
};

namespace {

// cpp-httplib's request handling over one request the gate has read whole.
class GateStream final : public httplib::Stream {
 public:
  GateStream(int fd, const std::string& buf, size_t end, const std::string& peer, int peer_port,
             Clock::time_point write_deadline)
      : fd_(fd),
        buf_(buf),
        end_(end),
        peer_(peer),
        peer_port_(peer_port),
        write_deadline_(write_deadline) {}

  bool is_readable() const override { return pos_ < end_; }
  bool is_writable() const override {
    pollfd p{fd_, POLLOUT, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLOUT);
  }
  ssize_t read(char* ptr, size_t size) override {
    const size_t n = std::min(size, end_ - pos_);
    std::memcpy(ptr, buf_.data() + pos_, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }
  ssize_t write(const char* ptr, size_t size) override {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = send(fd_, ptr + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        done += static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        const int wait = MsUntil(write_deadline_, Clock::now());
        pollfd p{fd_, POLLOUT, 0};
        if (wait <= 0 || poll(&p, 1, wait) <= 0) return -1;
        continue;
      }
      return -1;
    }
    return static_cast<ssize_t>(done);
  }
  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ip = peer_;
    port = peer_port_;
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    ip.clear();
    port = 0;
    if (getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return;
    char host[NI_MAXHOST];
    char serv[NI_MAXSERV];
    if (getnameinfo(reinterpret_cast<sockaddr*>(&addr), len, host, sizeof host, serv, sizeof serv,
                    NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
      ip = host;
      port = std::atoi(serv);
    }
  }
  socket_t socket() const override { return fd_; }

 private:
  int fd_;
  const std::string& buf_;
  size_t end_;
  size_t pos_ = 0;
  const std::string& peer_;
  int peer_port_;
  Clock::time_point write_deadline_;
};

}  // namespace

GatedServer::GatedServer(GateLimits limits) : lim_(std::move(limits)) {
  new_task_queue = [] { return new InlineQueue; };
  wake_fd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  gate_ = std::thread([this] { GateLoop(); });
  const int workers = std::max(1, lim_.workers);
  for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { WorkerLoop(); });
}

GatedServer::~GatedServer() {
  StopGate();
  if (wake_fd_ >= 0) close(wake_fd_);
}

void GatedServer::StopGate() {
  {
    std::lock_guard lock(mu_);
    if (stopping_ && !gate_.joinable()) return;
    stopping_ = true;
  }
  Wake();
  cv_.notify_all();
  if (gate_.joinable()) gate_.join();
  for (auto& w : workers_) {
    if (w.joinable()) w.join();
  }
  std::lock_guard lock(mu_);
  incoming_.clear();
  ready_.clear();
}

size_t GatedServer::open_connections() {
  std::lock_guard lock(mu_);
  return held_ + incoming_.size() + ready_.size();
}

void GatedServer::Wake() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(wake_fd_, &one, sizeof one);
}

bool GatedServer::process_and_close_socket(socket_t sock) {
  auto c = std::make_unique<Conn>();
  c->fd = sock;
  fcntl(sock, F_SETFL, fcntl(sock, F_GETFL) | O_NONBLOCK);
  const int on = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  PeerOf(sock, c->peer, c->peer_port);
  // A new connection has as long to send its first request as a request has
  // to send its headers.
  c->deadline = Clock::now() + std::chrono::milliseconds(lim_.header_ms);
  {
    std::lock_guard lock(mu_);
    if (stopping_) return false;  // closed by ~Conn
    incoming_.push_back(std::move(c));
  }
  Wake();
  return true;
}

void GatedServer::Refuse(Conn& c, int status, std::string_view reason, Clock::time_point now) {
  std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + StatusText(status) +
                       "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                       std::to_string(reason.size() + 1) + "\r\nConnection: close\r\n\r\n";
  answer += reason;
  answer += '\n';
  [[maybe_unused]] const ssize_t n =
      send(c.fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  shutdown(c.fd, SHUT_WR);
  if (refusal_log_) {
    GateRefusal r;
    r.peer = c.peer;
    r.method = c.method;
    r.path = c.Path();
    r.status = status;
    r.ms = std::chrono::duration<double, std::milli>(now - c.first_byte).count();
    refusal_log_(r);
  }
  // What the client still sends is read and dropped for a moment, so that
  // closing does not reset the connection before the answer is read.
  buffered_ -= std::min(buffered_, c.buf.size());
  c.buf.clear();
  c.buf.shrink_to_fit();
  c.phase = Conn::kDraining;
  c.deadline = now + std::chrono::milliseconds(1000);
}

bool GatedServer::ReadSome(Conn& c, Clock::time_point now) {
  char chunk[64 * 1024];
  // At most a few chunks a turn, so one fast sender does not starve the rest.
  for (int turn = 0; turn < 4; ++turn) {
    const ssize_t n = recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK;
    }
    if (c.phase == Conn::kDraining) {
      c.drained += static_cast<size_t>(n);
      if (c.drained > (1u << 20)) return false;
      continue;
    }
    if (c.phase == Conn::kIdle && c.buf.empty()) {
      c.phase = Conn::kHeader;
      c.first_byte = now;
      c.deadline = now + std::chrono::milliseconds(lim_.header_ms);
    }
    c.buf.append(chunk, static_cast<size_t>(n));
    buffered_ += static_cast<size_t>(n);
    // Never more than the request may hold: the rest waits in the socket.
    const size_t most = c.phase == Conn::kBody ? c.header_len + c.body_len : lim_.max_header_bytes;
    if (c.buf.size() > most) break;
  }
  return true;
}

int GatedServer::Examine(Conn& c, Clock::time_point now) {
  if (c.phase == Conn::kDraining) return 0;
  if (c.phase == Conn::kIdle) {
    if (c.buf.empty()) return 0;
    c.phase = Conn::kHeader;  // a request sent right behind the last one
    c.first_byte = now;
    c.deadline = now + std::chrono::milliseconds(lim_.header_ms);
  }
  if (c.phase == Conn::kHeader) {
    const std::string_view seen(c.buf.data(), std::min(c.buf.size(), lim_.max_header_bytes + 4));
    const size_t end = seen.find("\r\n\r\n");
    const size_t line_end = seen.find("\r\n");
    if (line_end == std::string_view::npos && seen.size() > lim_.max_target + 32) {
      Refuse(c, 414, "The address is longer than any this server answers.", now);
      return -1;
    }
    // "METHOD TARGET HTTP/1.x", read as soon as it is whole (for the log).
    if (line_end != std::string_view::npos && c.method.empty()) {
      const std::string_view line = seen.substr(0, line_end);
      const size_t sp1 = line.find(' ');
      const size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
      if (sp1 == 0 || sp1 == std::string_view::npos || sp2 == std::string_view::npos || sp1 > 16) {
        Refuse(c, 400, "The request is malformed.", now);
        return -1;
      }
      const std::string_view method = line.substr(0, sp1);
      if (!std::all_of(method.begin(), method.end(),
                       [](char ch) { return ch >= 'A' && ch <= 'Z'; })) {
        Refuse(c, 400, "The request is malformed.", now);
        return -1;
      }
      c.method = std::string(method);
      c.target = std::string(line.substr(sp1 + 1, sp2 - sp1 - 1));
      const std::string_view version = line.substr(sp2 + 1);
      if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        Refuse(c, 400, "The request is malformed.", now);
        return -1;
      }
      if (c.target.size() > lim_.max_target) {
        Refuse(c, 414, "The address is longer than any this server answers.", now);
        return -1;
      }
    }
    const std::string_view head = end == std::string_view::npos ? seen : seen.substr(0, end + 2);
    const size_t lines = static_cast<size_t>(std::count(head.begin(), head.end(), '\n'));
    if (lines > static_cast<size_t>(lim_.max_header_lines) + 1 ||
        (end == std::string_view::npos && c.buf.size() > lim_.max_header_bytes) ||
        (end != std::string_view::npos && end + 4 > lim_.max_header_bytes)) {
      Refuse(c, 431, "The request's headers are larger than any this server takes.", now);
      return -1;
    }
    if (end == std::string_view::npos) return 0;
    c.header_len = end + 4;

    bool has_length = false, expect_continue = false;
    uint64_t length = 0;
    size_t at = line_end + 2;
    while (at < end + 2) {
      const size_t eol = seen.find("\r\n", at);
      const std::string_view field = seen.substr(at, eol - at);
      at = eol + 2;
      const size_t colon = field.find(':');
      if (colon == std::string_view::npos || colon == 0) {
        Refuse(c, 400, "The request is malformed.", now);
        return -1;
      }
      const std::string_view name = field.substr(0, colon);
      const std::string_view value = Trim(field.substr(colon + 1));
      if (IEquals(name, "Content-Length")) {
        uint64_t v = 0;
        if (value.empty() || value.size() > 12 ||
            !std::all_of(value.begin(), value.end(),
                         [](char ch) { return ch >= '0' && ch <= '9'; })) {
          Refuse(c, 400, "The request is malformed.", now);
          return -1;
        }
        for (char ch : value) v = v * 10 + static_cast<uint64_t>(ch - '0');
        if (has_length && v != length) {
          Refuse(c, 400, "The request is malformed.", now);
          return -1;
        }
        has_length = true;
        length = v;
      } else if (IEquals(name, "Transfer-Encoding")) {
        Refuse(c, 411, "A request body needs a Content-Length here.", now);
        return -1;
      } else if (IEquals(name, "Expect") && IEquals(value, "100-continue")) {
        expect_continue = true;
      }
    }
    const size_t limit = lim_.body_limit ? lim_.body_limit(c.method, c.target) : 0;
    if (length > limit) {
      Refuse(c, 413, "The request is larger than any this server takes.", now);
      return -1;
    }
    c.body_len = static_cast<size_t>(length);
    c.phase = Conn::kBody;
    c.deadline = now + std::chrono::milliseconds(lim_.body_ms);
    if (expect_continue && c.buf.size() < c.header_len + c.body_len) {
      static constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
      [[maybe_unused]] const ssize_t n =
          send(c.fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    }
  }
  return c.buf.size() >= c.header_len + c.body_len ? 1 : 0;
}

void GatedServer::GateLoop() {
  std::vector<std::unique_ptr<Conn>> conns;
  std::vector<pollfd> fds;
  for (;;) {
    std::vector<std::unique_ptr<Conn>> arrived;
    {
      std::lock_guard lock(mu_);
      if (stopping_) break;
      arrived.swap(incoming_);
    }
    Clock::time_point now = Clock::now();
    for (auto& c : arrived) {
      buffered_ += c->buf.size();
      if (conns.size() >= lim_.max_connections) {
        // Full: the connection nearest its deadline makes room.
        auto oldest = std::min_element(
            conns.begin(), conns.end(),
            [](const auto& a, const auto& b) { return a->deadline < b->deadline; });
        buffered_ -= std::min(buffered_, (*oldest)->buf.size());
        conns.erase(oldest);
      }
      conns.push_back(std::move(c));
    }

    // Requests already whole (sent right behind the last one) go at once.
    auto hand_over = [&](std::unique_ptr<Conn>& c) {
      buffered_ -= std::min(buffered_, c->buf.size());
      {
        std::lock_guard lock(mu_);
        ready_.push_back(std::move(c));
      }
      cv_.notify_one();
    };
    for (auto& c : conns) {
      if (!c->buf.empty() && c->phase != Conn::kDraining) {
        const int r = Examine(*c, now);
        if (r == 1) hand_over(c);
      }
    }
    std::erase_if(conns, [](const auto& c) { return !c; });

    int timeout = -1;
    fds.assign(1, pollfd{wake_fd_, POLLIN, 0});
    for (auto& c : conns) {
      // A request read whole waits for its worker; the rest of what the
      // client sends stays in the socket until then.
      const bool full = c->phase == Conn::kBody && c->buf.size() >= c->header_len + c->body_len;
      fds.push_back(pollfd{c->fd, static_cast<short>(full ? 0 : POLLIN), 0});
      const int ms = MsUntil(c->deadline, now);
      timeout = timeout < 0 ? ms : std::min(timeout, ms);
    }
    {
      std::lock_guard lock(mu_);
      held_ = conns.size();
    }
    poll(fds.data(), fds.size(), timeout);
    now = Clock::now();
    if (fds[0].revents & POLLIN) {
      uint64_t v;
      [[maybe_unused]] const ssize_t n = read(wake_fd_, &v, sizeof v);
    }
    for (size_t i = 0; i < conns.size(); ++i) {
      auto& c = conns[i];
      const short ev = fds[i + 1].revents;
      if (ev & (POLLIN | POLLHUP | POLLERR)) {
        if (!ReadSome(*c, now)) {
          buffered_ -= std::min(buffered_, c->buf.size());
          c.reset();
          continue;
        }
        if (buffered_ > lim_.max_buffered && c->phase != Conn::kDraining) {
          Refuse(*c, 503, "The server is busy; try again later.", now);
          continue;
        }
        if (Examine(*c, now) == 1) {
          hand_over(c);
          continue;
        }
      }
      if (c && c->deadline <= now) {
        if (c->phase == Conn::kIdle || c->phase == Conn::kDraining) {
          buffered_ -= std::min(buffered_, c->buf.size());
          c.reset();
        } else {
          Refuse(*c, 408, "The request took too long to arrive.", now);
        }
      }
    }
    std::erase_if(conns, [](const auto& c) { return !c; });
  }
  std::lock_guard lock(mu_);
  held_ = 0;
}

void GatedServer::WorkerLoop() {
  for (;;) {
    std::unique_ptr<Conn> c;
    {
      std::unique_lock lock(mu_);
      cv_.wait(lock, [&] { return stopping_ || !ready_.empty(); });
      if (stopping_) return;
      c = std::move(ready_.front());
      ready_.pop_front();
    }
    Serve(std::move(c));
  }
}

void GatedServer::Serve(std::unique_ptr<Conn> c) {
  const size_t used = c->header_len + c->body_len;
  t_request = GateRequest{c->peer, c->method, c->Path(), c->first_byte};
  ++c->served;
  const bool last = c->served >= lim_.keep_alive_requests;
  bool closed = false;
  bool ok;
  {
    GateStream strm(c->fd, c->buf, used, c->peer, c->peer_port,
                    Clock::now() + std::chrono::milliseconds(lim_.write_ms));
    ok = process_request(strm, last, closed, [](httplib::Request&) {});
  }
  t_request = GateRequest{};
  if (!ok || closed || last) return;  // ~Conn closes it
  c->buf.erase(0, used);
  c->phase = Conn::kIdle;
  c->method.clear();
  c->target.clear();
  c->header_len = c->body_len = 0;
  c->deadline = Clock::now() + std::chrono::milliseconds(lim_.idle_ms);
  {
    std::lock_guard lock(mu_);
    if (stopping_) return;
    incoming_.push_back(std::move(c));
  }
  Wake();
}

}  // namespace server
