// Load on the score server: 10 000 valid reports from 8 clients at once to a
// server on a loopback port, over SQLite and over PostgreSQL (a throwaway
// cluster when PostgreSQL is installed). Reports throughput and p50/p99
// latency, and fails the run when a report was lost or counted twice.

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>

#include "app.h"
#include "score_db.h"
#include "server/pg_cluster.h"
#include "server/report_fixture.h"
#include "server/server_fixture.h"

namespace {

constexpr int kReports = 10'000;
constexpr int kClients = 8;

void RunLoad(benchmark::State& state, const std::string& db_spec) {
  std::vector<std::string> targets;
  targets.reserve(kReports);
  for (int n = 0; n < kReports; ++n) {
    char name[12];
    std::snprintf(name, sizeof name, "L%05d", n);
    targets.push_back("/hico.php?tt=gf&sc=" +
                      server_test::Report(n + 1, name, static_cast<uint32_t>(n), 0xB000u + n));
  }
  for (auto _ : state) {
    server::AppOptions opt;
    opt.rate_limit = 0;
    opt.now_ms = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::system_clock::now().time_since_epoch())
          .count();
    };
    const server::AppOptions& real = opt;
    std::unique_ptr<server_test::LocalServer> s;
    try {
      s = std::make_unique<server_test::LocalServer>(real, db_spec);
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
    std::vector<double> latency(kReports);
    std::atomic<int> next{0}, ok{0}, failed{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
      clients.emplace_back([&] {
        httplib::Client cl("127.0.0.1", s->port());
        for (int i = next++; i < kReports; i = next++) {
          const auto t0 = std::chrono::steady_clock::now();
          const auto res = cl.Get(targets[static_cast<size_t>(i)].c_str());
          latency[static_cast<size_t>(i)] =
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                  .count();
          if (res && res->status == 200)
            ++ok;
          else
            ++failed;
        }
      });
    }
    for (auto& t : clients) t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(seconds);

    // Every report on the board once.
    const auto board = s->db().Top(kReports + 10);
    std::set<std::string> names;
    for (const auto& e : board) names.insert(e.name);
    const long lost = kReports - static_cast<long>(names.size());
    const long doubled = static_cast<long>(board.size()) - static_cast<long>(names.size());
    std::sort(latency.begin(), latency.end());
    state.counters["reports_per_s"] = kReports / seconds;
    state.counters["p50_ms"] = latency[kReports / 2];
    state.counters["p99_ms"] = latency[kReports * 99 / 100];
    state.counters["refused"] = failed.load();
    state.counters["lost"] = static_cast<double>(lost);
    state.counters["doubled"] = static_cast<double>(doubled);
    if (failed != 0 || lost != 0 || doubled != 0) state.SkipWithError("reports lost or doubled");
  }
}

void BM_ReportsSqlite(benchmark::State& state) { RunLoad(state, ""); }
BENCHMARK(BM_ReportsSqlite)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_ReportsPostgres(benchmark::State& state) {
  const std::string bin = server_test::PostgresBin();
  if (bin.empty()) {
    state.SkipWithError("PostgreSQL is not installed");
    for (auto _ : state) {
    }
    return;
  }
  const auto dir = server_test::MakeTempDir("gfpgb");
  {
    server_test::Cluster pg(bin, dir);
    if (!pg.error().empty()) {
      state.SkipWithError(pg.error().c_str());
      for (auto _ : state) {
      }
    } else {
      RunLoad(state, pg.conninfo());
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReportsPostgres)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
