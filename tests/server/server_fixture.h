#pragma once
// A score server on a loopback port over a database in a fresh folder,
// served from a thread of the test, and a client for it.

#include <httplib.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app.h"
#include "score_db.h"

namespace server_test {

inline std::filesystem::path MakeTempDir(const char* stem) {
  std::string pattern =
      (std::filesystem::temp_directory_path() / (std::string(stem) + "_XXXXXX")).string();
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  return mkdtemp(buf.data()) ? std::filesystem::path(buf.data()) : std::filesystem::path();
}

class LocalServer {
 public:
  explicit LocalServer(server::AppOptions opt = {}, std::string db_spec = {})
      : dir_(MakeTempDir("gfall_server")) {
    if (db_spec.empty()) db_spec = "sqlite:" + (dir_ / "scores.sqlite").string();
    db_ = server::OpenScoreDb(db_spec);
    db_->Migrate();
    opt.log = false;
    if (!opt.now_ms) opt.now_ms = [this] { return clock_ms.load(); };
    app_ = std::make_unique<server::App>(*db_, opt);
    port_ = app_->Bind("127.0.0.1", 0);
    thread_ = std::thread([this] { app_->Serve(); });
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_keep_alive(false);
  }
  ~LocalServer() {
    app_->Stop();
    thread_.join();
    app_.reset();
    db_.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  int port() const { return port_; }
  server::ScoreDb& db() { return *db_; }
  const std::filesystem::path& dir() const { return dir_; }

  // Status and body of a GET; status -1 when no answer came.
  std::pair<int, std::string> Get(const std::string& target) {
    const auto res = client_->Get(target.c_str());
    if (!res) return {-1, ""};
    return {res->status, res->body};
  }
  std::pair<int, std::string> Submit(const std::string& text) {
    return Get("/hico.php?tt=gf&sc=" + text);
  }

  std::atomic<int64_t> clock_ms{1'765'000'000'000};  // a December 2025 afternoon

 private:
  std::filesystem::path dir_;
  std::unique_ptr<server::ScoreDb> db_;
  std::unique_ptr<server::App> app_;
  std::thread thread_;
  int port_ = -1;
  std::unique_ptr<httplib::Client> client_;
};

}  // namespace server_test
