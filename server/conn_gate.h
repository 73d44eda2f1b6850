#pragma once
// The server's front door. cpp-httplib gives every connection a worker thread
// from the moment it is accepted, so a few clients that send their headers a
// byte at a time hold every worker, and it takes header lines without limit.
// Here one thread watches every connection with poll() and reads each request
// whole (request line, headers and body) into memory, within a deadline and
// within size limits; only a complete request is handed to a worker, which
// runs cpp-httplib's request handling over the bytes already read. A worker
// therefore never waits on a slow client's request; a request that takes too
// long or is too large is answered (408, 413, 414, 431, 400) and closed by the
// gate itself.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace server {

struct GateLimits {
  size_t max_header_bytes = 16 * 1024;  // request line and header lines together
  int max_header_lines = 64;            // header lines, the request line not counted
  size_t max_target = 1024;             // request target
  int header_ms = 10'000;               // from the request's first byte to its blank line
  int body_ms = 30'000;                 // from the blank line to the body's last byte
  int idle_ms = 5'000;                  // a kept-alive connection waiting for its next request
  int write_ms = 10'000;                // writing one answer
  int keep_alive_requests = 100;        // requests on one connection
  size_t max_connections = 1000;        // open at once; the one nearest its deadline goes first
  size_t max_buffered = 256u << 20;     // bytes of unfinished requests held at once
  int workers = 8;
  // The longest body a request may carry: by method and target.
  std::function<size_t(std::string_view method, std::string_view target)> body_limit;
};

// What the gate read about the request a worker is running (for its log line).
struct GateRequest {
  std::string peer;                               // the connection's address
  std::string method;                             // as sent
  std::string path;                               // the target without its query
  std::chrono::steady_clock::time_point started;  // the request's first byte
};
// The request this thread is running; empty outside a request.
const GateRequest& CurrentGateRequest();

// A request the gate refused by itself: for the server's log.
struct GateRefusal {
  std::string peer;
  std::string method;  // empty when the request line was not read
  std::string path;
  int status = 0;
  double ms = 0.0;  // from the first byte to the answer
};

class GatedServer : public httplib::Server {
 public:
  explicit GatedServer(GateLimits limits);
  ~GatedServer() override;

  void set_refusal_logger(std::function<void(const GateRefusal&)> log) {
    refusal_log_ = std::move(log);
  }
  // Stops the gate and the workers and closes every connection (after
  // listen_after_bind has returned; the destructor does it too).
  void StopGate();

  // Connections the gate holds now (tests).
  size_t open_connections();

 private:
  struct Conn;
  bool process_and_close_socket(socket_t sock) override;
  void GateLoop();
  void WorkerLoop();
  void Serve(std::unique_ptr<Conn> c);
  // Reads what the socket holds; false when the connection is to go.
  bool ReadSome(Conn& c, std::chrono::steady_clock::time_point now);
  // Looks at the buffer: 0 while more is needed, 1 when a whole request is
  // there, -1 when it was refused (and answered).
  int Examine(Conn& c, std::chrono::steady_clock::time_point now);
  void Refuse(Conn& c, int status, std::string_view reason,
              std::chrono::steady_clock::time_point now);
  void Wake();

  GateLimits lim_;
  std::function<void(const GateRefusal&)> refusal_log_;
  int wake_fd_ = -1;
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<std::unique_ptr<Conn>> incoming_;  // new and returned connections
  std::deque<std::unique_ptr<Conn>> ready_;      // whole requests for the workers
  bool stopping_ = false;
  size_t held_ = 0;  // connections in the gate (gate thread only)
  size_t buffered_ = 0;
  std::thread gate_;
  std::vector<std::thread> workers_;
};

}  // namespace server
