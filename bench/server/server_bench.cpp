// Load on the score server: 10 000 valid reports from 8 clients at once to a
// server on a loopback port, over SQLite and over PostgreSQL (a throwaway
// cluster when PostgreSQL is installed), on an empty board and on one that
// already holds 1 000 000 best scores (the new reports rank below all of
// them, the worst place for finding a rank). Reports throughput and p50/p99
// latency of the reports and of the leaderboard page, and fails the run when
// a report was lost or counted twice.

#include <benchmark/benchmark.h>
#include <httplib.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <pqxx/pqxx>
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

// The seeded board: `rows` players, scores spread over 0..10 000 000, user
// numbers from 1 000 000 (apart from the load's). The band counts are made
// as the schema's migration makes them.
const char* const kSeed[] = {
    "INSERT INTO best (player, user_number, score, received_ms, report_id)"
    " SELECT player, user_number, score, received_ms, id FROM reports",
    "DELETE FROM rank_counts",
    "INSERT INTO rank_counts (level, band, n) SELECT 1, score >> 20, COUNT(*) FROM best GROUP BY 2",
    "INSERT INTO rank_counts (level, band, n) SELECT 2, score >> 10, COUNT(*) FROM best GROUP BY 2",
};

void SeedSqlite(const std::string& path, int rows) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  std::string sql =
      "BEGIN; WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
      std::to_string(rows - 1) +
      ") INSERT INTO reports (score, player, owner, user_number, report_key, received_ms, client)"
      " SELECT (i * 7919 + 13) % 10000000, 'S' || i, '', 1000000 + i, i, 1000, '' FROM n;";
  for (const char* s : kSeed) sql += std::string(s) + ";";
  sql += "COMMIT; ANALYZE;";
  char* err = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
    std::fprintf(stderr, "seed: %s\n", err ? err : "?");
    sqlite3_free(err);
  }
  sqlite3_close(db);
}

void SeedPostgres(const std::string& conninfo, int rows) {
  pqxx::connection c(conninfo);
  pqxx::work w(c);
  w.exec(
      "INSERT INTO reports (score, player, owner, user_number, report_key, received_ms, client)"
      " SELECT (i::bigint * 7919 + 13) % 10000000, 'S' || i, '', 1000000 + i, i, 1000, ''"
      " FROM generate_series(0, " +
      std::to_string(rows - 1) + ") AS i");
  for (const char* s : kSeed) w.exec(s);
  w.commit();
  pqxx::nontransaction(c).exec("ANALYZE");
}

void RunLoad(benchmark::State& state, std::string db_spec) {
  const int seeded = static_cast<int>(state.range(0));
  std::filesystem::path dir;
  if (db_spec.empty()) {
    dir = server_test::MakeTempDir("gfall_bench");
    db_spec = "sqlite:" + (dir / "scores.sqlite").string();
  }
  {
    auto db = server::OpenScoreDb(db_spec);
    db->Migrate();
  }
  if (seeded > 0) {
    if (server::IsPostgresSpec(db_spec)) {
      const bool uri =
          db_spec.rfind("postgresql://", 0) == 0 || db_spec.rfind("postgres://", 0) == 0;
      SeedPostgres(uri ? db_spec : db_spec.substr(11), seeded);
    } else {
      SeedSqlite(db_spec.substr(7), seeded);
    }
  }
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

    // The leaderboard page from 4 clients at once.
    constexpr int kPages = 2000;
    std::vector<double> page_ms(kPages);
    std::atomic<int> next_page{0}, bad_pages{0};
    std::vector<std::thread> readers;
    for (int c = 0; c < 4; ++c) {
      readers.emplace_back([&] {
        httplib::Client cl("127.0.0.1", s->port());
        for (int i = next_page++; i < kPages; i = next_page++) {
          const auto t0 = std::chrono::steady_clock::now();
          const auto res = cl.Get("/");
          page_ms[static_cast<size_t>(i)] =
              std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                  .count();
          if (!res || res->status != 200) ++bad_pages;
        }
      });
    }
    for (auto& t : readers) t.join();
    std::sort(page_ms.begin(), page_ms.end());
    state.counters["page_p50_ms"] = page_ms[kPages / 2];
    state.counters["page_p99_ms"] = page_ms[kPages * 99 / 100];

    // Every report on the board once.
    const auto all = s->db().Top(seeded + kReports + 10);
    std::vector<server::BoardEntry> board;
    for (const auto& e : all) {
      if (e.name[0] == 'L') board.push_back(e);
    }
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
    if (failed != 0 || lost != 0 || doubled != 0 || bad_pages != 0)
      state.SkipWithError("reports lost or doubled, or a page failed");
  }
  if (!dir.empty()) std::filesystem::remove_all(dir);
}

void BM_ReportsSqlite(benchmark::State& state) { RunLoad(state, ""); }
BENCHMARK(BM_ReportsSqlite)
    ->Arg(0)
    ->Arg(1'000'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

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
BENCHMARK(BM_ReportsPostgres)
    ->Arg(0)
    ->Arg(1'000'000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
