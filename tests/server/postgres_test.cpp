// Two score servers over one PostgreSQL database, in a throwaway cluster
// that listens on a Unix socket only.

#include <glob.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

#include "pg_cluster.h"
#include "process.h"
#include "rank_check.h"
#include "report_fixture.h"
#include "server_fixture.h"

namespace server_test {
namespace {

TEST(Postgres, TwoServersOverOneDatabaseSeeEveryReportOnce) {
  const std::string bin = PostgresBin();
  if (bin.empty())
    GTEST_SKIP() << "PostgreSQL is not installed (no initdb); scripts/install-deps.sh installs it";
  // A short folder name: a Unix socket path must stay under 108 bytes.
  const std::filesystem::path dir = MakeTempDir("gfpg");
  ASSERT_FALSE(dir.empty());
  {
    Cluster pg(bin, dir);
    ASSERT_EQ(pg.error(), "");
    const std::string logs = std::filesystem::temp_directory_path() / dir.filename();
    std::filesystem::create_directories(logs + "-logs");
    // Under LeakSanitizer: libpqxx 6.4 drops libpq's result when a connection
    // breaks in the middle of a statement (as it does below, on purpose).
    // Only the servers started here read this.
    std::ofstream(logs + "-logs/lsan.supp") << "leak:libpq.so\nleak:libpqxx\n";
    setenv("LSAN_OPTIONS", ("suppressions=" + logs + "-logs/lsan.supp").c_str(), 1);
    ServerProcess a({"--db", pg.conninfo(), "--rate-limit", "0", "--quiet"}, logs + "-logs/a.log");
    ServerProcess b({"--db", pg.conninfo(), "--rate-limit", "0", "--quiet"}, logs + "-logs/b.log");
    ASSERT_GT(a.port(), 0) << a.log();
    ASSERT_GT(b.port(), 0) << b.log();

    // Four clients at once, each alternating between the two servers.
    constexpr int kClients = 4, kEach = 50;
    std::atomic<int> accepted{0}, refused{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
      clients.emplace_back([&, c] {
        httplib::Client to_a("127.0.0.1", a.port()), to_b("127.0.0.1", b.port());
        for (int i = 0; i < kEach; ++i) {
          const int n = c * kEach + i;
          char name[12];
          std::snprintf(name, sizeof name, "P%03d", n);
          const std::string target =
              "/hico.php?tt=gf&sc=" + Report(1000 + n, name, static_cast<uint32_t>(n), 7u + n);
          const auto res = (i % 2 ? to_a : to_b).Get(target.c_str());
          (res && res->status == 200 ? accepted : refused)++;
        }
      });
    }
    // Meanwhile one report sent to both servers at the same moment counts once.
    const std::string twice = "/hico.php?tt=gf&sc=" + Report(5, "Twice", 999, 999);
    std::atomic<int> twice_ok{0}, twice_409{0};
    std::thread ta([&] {
      httplib::Client cl("127.0.0.1", a.port());
      const auto r = cl.Get(twice.c_str());
      if (r && r->status == 200) ++twice_ok;
      if (r && r->status == 409) ++twice_409;
    });
    std::thread tb([&] {
      httplib::Client cl("127.0.0.1", b.port());
      const auto r = cl.Get(twice.c_str());
      if (r && r->status == 200) ++twice_ok;
      if (r && r->status == 409) ++twice_409;
    });
    for (auto& t : clients) t.join();
    ta.join();
    tb.join();
    EXPECT_EQ(accepted, kClients * kEach);
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(twice_ok, 1);
    EXPECT_EQ(twice_409, 1);

    // Both boards hold every report exactly once, in the same order.
    std::string boards[2];
    int i = 0;
    for (const ServerProcess* s : {&a, &b}) {
      httplib::Client cl("127.0.0.1", s->port());
      const auto res = cl.Get("/api/scores?limit=1000");
      ASSERT_TRUE(res);
      ASSERT_EQ(res->status, 200);
      boards[i++] = res->body;
      std::map<std::string, int> seen;
      const std::regex name("\"name\":\"([A-Za-z0-9]+)\"");
      for (std::sregex_iterator it(res->body.begin(), res->body.end(), name), end; it != end; ++it)
        ++seen[(*it)[1].str()];
      EXPECT_EQ(seen.size(), static_cast<size_t>(kClients * kEach + 1));
      for (const auto& [n, count] : seen) EXPECT_EQ(count, 1) << n;
      EXPECT_EQ(cl.Get("/healthz")->status, 200);
    }
    EXPECT_EQ(boards[0], boards[1]);
    EXPECT_NE(boards[0].find("{\"rank\":1,\"name\":\"P199\",\"score\":1199,\"user\":199,"),
              std::string::npos);
    // A database that answers but cannot store (read-only, as after a
    // fail-over to a standby) fails the health check; the board still shows.
    const std::string psql =
        "psql -X -q \"host=" + dir.string() + " user=gfall dbname=postgres\" -c ";
    ASSERT_EQ(Shell(psql + "'ALTER SYSTEM SET default_transaction_read_only = on'").status, 0);
    ASSERT_EQ(Shell(psql + "'SELECT pg_reload_conf()'").status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    httplib::Client cl("127.0.0.1", a.port());
    auto res = cl.Get("/healthz");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 503) << res->body;
    EXPECT_EQ(cl.Get("/api/scores")->status, 200);
    ASSERT_EQ(Shell(psql + "'ALTER SYSTEM RESET default_transaction_read_only'").status, 0);
    ASSERT_EQ(Shell(psql + "'SELECT pg_reload_conf()'").status, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(cl.Get("/healthz")->status, 200);

    // Ranks on a board of its own in the same cluster.
    ASSERT_EQ(Shell(psql + "'CREATE DATABASE ranks'").status, 0);
    {
      auto ranks = server::OpenScoreDb("postgresql:///ranks?host=" + dir.string() + "&user=gfall");
      ranks->Migrate();
      CheckRanks(*ranks);
    }

    // With the database gone the servers say so, and keep running.
    pg.Stop();
    res = cl.Get("/healthz");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 503);
    res = cl.Get(("/hico.php?tt=gf&sc=" + Report(1, "Late", 5000, 5000)).c_str());
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 503);
    EXPECT_EQ(cl.Get("/api/scores")->status, 503);
    EXPECT_EQ(a.Stop(), 0) << a.log();
    EXPECT_EQ(b.Stop(), 0) << b.log();
    std::filesystem::remove_all(logs + "-logs");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace server_test
