// gfall-server: receives score reports from the game, checks them and keeps
// the best scores, on SQLite or PostgreSQL.

#include <pthread.h>
#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <thread>

#include "app.h"
#include "score_db.h"

int main(int argc, char** argv) {
  CLI::App cli{"gfall-server: the score list that game reports are sent to"};
  std::string listen = "127.0.0.1:8087";
  std::string db_spec;
  server::AppOptions opt;
  bool quiet = false;
  cli.add_option("--listen", listen, "HOST:PORT to listen on ([::1]:PORT for IPv6; port 0: any)")
      ->capture_default_str();
  cli.add_option("--db", db_spec,
                 "sqlite:PATH (default sqlite:$XDG_DATA_HOME/gfall/scores.sqlite) or a "
                 "PostgreSQL connection string (postgresql://...)");
  cli.add_option("--rate-limit", opt.rate_limit,
                 "reports per minute per client address (0: no limit)")
      ->check(CLI::NonNegativeNumber)
      ->capture_default_str();
  cli.add_option("--threads", opt.threads, "request threads")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  cli.add_option("--trusted-proxy", opt.trusted_proxies,
                 "address of a reverse proxy whose X-Forwarded-For names the client (repeatable)");
  double header_timeout = opt.header_timeout_ms / 1000.0;
  cli.add_option("--header-timeout", header_timeout,
                 "seconds a client has to send a request's headers (408 beyond)")
      ->check(CLI::Range(0.1, 600.0))
      ->capture_default_str();
  cli.add_flag("--quiet", quiet, "no line per request on stderr");
  cli.set_version_flag("--version", std::string("gfall-server ") + GFALL_VERSION);
  CLI11_PARSE(cli, argc, argv);
  opt.log = !quiet;
  opt.header_timeout_ms = static_cast<int>(header_timeout * 1000.0);

  std::string host;
  int port = 0;
  if (!server::ParseListen(listen, host, port)) {
    std::fprintf(stderr, "gfall-server: --listen wants HOST:PORT, not \"%s\"\n", listen.c_str());
    return 2;
  }
  if (db_spec.empty()) {
    const std::string path = server::DefaultSqlitePath();
    if (path.empty()) {
      std::fprintf(stderr, "gfall-server: no folder for the database (set HOME or --db)\n");
      return 1;
    }
    db_spec = "sqlite:" + path;
  }

  // SIGINT and SIGTERM are taken by one thread that stops the server; every
  // other thread starts with them blocked.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  std::unique_ptr<server::ScoreDb> db;
  try {
    db = server::OpenScoreDb(db_spec);
    db->Migrate();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "gfall-server: %s\n", e.what());
    return 1;
  }

  server::App app(*db, opt);
  const int bound = app.Bind(host, port);
  if (bound <= 0) {
    std::fprintf(stderr, "gfall-server: cannot listen on %s\n", listen.c_str());
    return 1;
  }
  const bool v6 = host.find(':') != std::string::npos;
  // A PostgreSQL connection string may hold a password: not shown.
  const bool sqlite = !server::IsPostgresSpec(db_spec);
  std::fprintf(stderr, "gfall-server: listening on http://%s%s%s:%d (%s)\n", v6 ? "[" : "",
               host.c_str(), v6 ? "]" : "", bound, sqlite ? db_spec.c_str() : "postgresql");
  std::fflush(stderr);

  std::thread stopper([&] {
    int sig = 0;
    sigwait(&stop_signals, &sig);
    if (sig != 0) app.Stop();
  });
  const bool served = app.Serve();
  // Serving ended without a signal (the socket failed): wake the stopper.
  pthread_kill(stopper.native_handle(), SIGTERM);
  stopper.join();
  std::fprintf(stderr, "gfall-server: stopped\n");
  return served ? 0 : 1;
}
