// Two score servers over one PostgreSQL database, in a throwaway cluster
// that listens on a Unix socket only.

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <glob.h>
#include <map>
#include <regex>
#include <thread>

#include "process.h"
#include "report_fixture.h"
#include "server_fixture.h"

namespace server_test {
namespace {

// The folder of initdb and pg_ctl: Debian keeps them out of PATH.
std::string PostgresBin() {
  glob_t g{};
  std::string found;
  if (glob("/usr/lib/postgresql/*/bin/initdb", 0, nullptr, &g) == 0 && g.gl_pathc > 0)
    found = std::filesystem::path(g.gl_pathv[g.gl_pathc - 1]).parent_path().string();
  globfree(&g);
  if (found.empty() && Shell("command -v initdb && command -v pg_ctl").status == 0) {
    const std::string path = Shell("command -v initdb").out;
    found = std::filesystem::path(path.substr(0, path.find('\n'))).parent_path().string();
  }
  return found;
}

class Cluster {
 public:
  Cluster(const std::string& bin, const std::filesystem::path& dir) : bin_(bin), dir_(dir) {
    // PostgreSQL will not run as root: then the cluster belongs to "postgres".
    if (geteuid() == 0) {
      const passwd* pw = getpwnam("postgres");
      if (!pw) {
        error_ = "running as root and there is no postgres user to run the cluster";
        return;
      }
      as_ = "runuser -u postgres -- ";
      std::error_code ec;
      std::filesystem::permissions(dir_, std::filesystem::perms::all, ec);
      if (chown(dir_.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
        error_ = "cannot hand the cluster folder to postgres";
        return;
      }
    }
    ShellRun r = Shell(as_ + bin_ + "/initdb -D " + (dir_ / "data").string() +
                       " -A trust -U gfall --no-sync -E UTF8 --locale=C");
    if (r.status != 0) {
      error_ = "initdb: " + r.out;
      return;
    }
    r = Shell(as_ + bin_ + "/pg_ctl -D " + (dir_ / "data").string() + " -l " +
              (dir_ / "pg.log").string() + " -w -t 30 -o \"-c listen_addresses='' -k " +
              dir_.string() + " -c fsync=off -c max_connections=40\" start");
    if (r.status != 0) {
      error_ = "pg_ctl start: " + r.out + ReadFile(dir_ / "pg.log");
      return;
    }
    started_ = true;
  }
  ~Cluster() {
    if (started_) Shell(as_ + bin_ + "/pg_ctl -D " + (dir_ / "data").string() + " -m immediate -w stop");
  }
  const std::string& error() const { return error_; }
  std::string conninfo() const {
    return "postgresql:///postgres?host=" + dir_.string() + "&user=gfall";
  }

 private:
  std::string bin_;
  std::filesystem::path dir_;
  std::string as_;
  std::string error_;
  bool started_ = false;
};

TEST(Postgres, TwoServersOverOneDatabaseSeeEveryReportOnce) {
  const std::string bin = PostgresBin();
  if (bin.empty()) GTEST_SKIP() << "PostgreSQL is not installed (no initdb); scripts/install-deps.sh installs it";
  // A short folder name: a Unix socket path must stay under 108 bytes.
  const std::filesystem::path dir = MakeTempDir("gfpg");
  ASSERT_FALSE(dir.empty());
  {
    Cluster pg(bin, dir);
    ASSERT_EQ(pg.error(), "");
    const std::string logs = std::filesystem::temp_directory_path() / dir.filename();
    std::filesystem::create_directories(logs + "-logs");
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
    EXPECT_EQ(a.Stop(), 0) << a.log();
    EXPECT_EQ(b.Stop(), 0) << b.log();
    std::filesystem::remove_all(logs + "-logs");
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace server_test
