// The score server in one process: its text handling, and its answers over
// HTTP on a SQLite database.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <map>
#include <regex>

#include "rank_check.h"
#include "report_fixture.h"
#include "server_fixture.h"
#include "web.h"

namespace server_test {
namespace {

TEST(ServerText, QueryStrings) {
  auto q = server::ParseQuery("tt=gf&sc=A%2bB+c&&flag&x=%41");
  ASSERT_TRUE(q);
  const server::QueryParams want = {{"tt", "gf"}, {"sc", "A+B c"}, {"flag", ""}, {"x", "A"}};
  EXPECT_EQ(*q, want);
  for (const char* bad : {"a=%", "a=%4", "a=%G1", "%zz=1"})
    EXPECT_FALSE(server::ParseQuery(bad)) << bad;
  bool twice = false;
  EXPECT_FALSE(server::QueryValue(*server::ParseQuery("sc=1&sc=2"), "sc", &twice));
  EXPECT_TRUE(twice);
  EXPECT_EQ(server::QueryOf("/hico.php?tt=gf#frag"), "tt=gf");
  EXPECT_EQ(server::QueryOf("/hico.php"), "");
  const std::string odd = "a b&c=d%\xC3\xA9";
  auto back = server::ParseQuery("k=" + server::EscapeQueryComponent(odd));
  ASSERT_TRUE(back);
  EXPECT_EQ((*back)[0].second, odd);
}

TEST(ServerText, EscapingNumbersAndDates) {
  EXPECT_EQ(server::EscapeHtml("<a href=\"x\">&'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(server::JsonString("a\"b\\c\x01"), "\"a\\\"b\\\\c\\u0001\"");
  EXPECT_EQ(server::WithThousands(0), "0");
  EXPECT_EQ(server::WithThousands(999), "999");
  EXPECT_EQ(server::WithThousands(1000), "1,000");
  EXPECT_EQ(server::WithThousands(2147483647), "2,147,483,647");
  EXPECT_EQ(server::IsoTime(0), "1970-01-01T00:00:00Z");
  EXPECT_EQ(server::IsoTime(1'796'922'000'000), "2026-12-10T17:00:00Z");
  EXPECT_EQ(server::IsoDate(1'796'922'000'000), "2026-12-10");
  // A name cut inside a character, and bytes that are no UTF-8 at all.
  EXPECT_EQ(server::ValidUtf8("Zo\xC3"), "Zo\xEF\xBF\xBD");
  EXPECT_EQ(server::ValidUtf8("\xFF"
                              "a\xC3\xA9"),
            "\xEF\xBF\xBD"
            "a\xC3\xA9");
  EXPECT_EQ(server::ValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Server, AReportIsStoredRankedAndCountsOnce) {
  LocalServer s;
  const std::string text = Report(1'234'567, "Ada", 42, 1000);
  auto [status, body] = s.Submit(text);
  EXPECT_EQ(status, 200);
  EXPECT_NE(body.find("Score received"), std::string::npos) << body;
  EXPECT_NE(body.find("<span id=\"name\">Ada</span>"), std::string::npos);
  EXPECT_NE(body.find("1,234,567"), std::string::npos);
  EXPECT_NE(body.find("<span id=\"rank\">1</span>"), std::string::npos);

  // A HEAD of an address stores nothing.
  httplib::Client head("127.0.0.1", s.port());
  const std::string other = Report(99, "Cy", 44, 1000);
  const auto probe = head.Head(("/hico.php?tt=gf&sc=" + other).c_str());
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->status, 200);
  EXPECT_EQ(head.Head("/hico.php?tt=gf&sc=KQ")->status, 400);
  EXPECT_EQ(s.Get("/api/scores").second.find("Cy"), std::string::npos);

  // The same address again: refused, nothing stored.
  std::tie(status, body) = s.Submit(text);
  EXPECT_EQ(status, 409);
  // The same key from another user is another report.
  EXPECT_EQ(s.Submit(Report(10, "Bo", 43, 1000)).first, 200);

  std::tie(status, body) = s.Get("/api/scores");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body,
            "{\"scores\":[{\"rank\":1,\"name\":\"Ada\",\"score\":1234567,\"user\":42,"
            "\"received\":\"2025-12-06T05:46:40Z\"},{\"rank\":2,\"name\":\"Bo\",\"score\":10,"
            "\"user\":43,\"received\":\"2025-12-06T05:46:40Z\"}]}\n");
  std::tie(status, body) = s.Get("/");
  EXPECT_EQ(status, 200);
  EXPECT_NE(body.find("<td class=\"name\">Ada</td><td class=\"score\">1,234,567</td>"
                      "<td class=\"date\">2025-12-06</td>"),
            std::string::npos)
      << body;
  EXPECT_EQ(s.Get("/healthz"), std::make_pair(200, std::string("ok\n")));
}

TEST(Server, RefusedReportsStoreNothing) {
  LocalServer s;
  const std::string good = Report(500, "Ada");
  Bytes neg = Plain(1, "Ada");
  Put32(neg, 0, static_cast<uint32_t>(-100));
  Reseal(neg);
  std::string flipped = good;
  flipped[10] = flipped[10] == 'K' ? '7' : 'K';
  const std::pair<std::string, std::string> cases[] = {
      {"/hico.php?tt=gf&sc=" + good.substr(1), "not 208 characters"},
      {"/hico.php?tt=gf&sc=" + flipped, "does not match"},
      {"/hico.php?tt=xx&sc=" + good, "not for this game"},
      {"/hico.php?sc=" + good, "not for this game"},
      {"/hico.php?tt=gf", "no report"},
      {"/hico.php?tt=gf&sc=" + good + "&sc=" + good, "two reports"},
      {"/hico.php?tt=gf&sc=%ZZ", "malformed"},
      {"/hico.php?tt=gf&sc=" + Text(neg), "negative"},
  };
  for (const auto& [target, reason] : cases) {
    const auto [status, body] = s.Get(target);
    EXPECT_EQ(status, 400) << target;
    EXPECT_NE(body.find(reason), std::string::npos) << target << "\n" << body;
  }
  EXPECT_EQ(s.Get("/api/scores").second, "{\"scores\":[]}\n");
  EXPECT_NE(s.Get("/").second.find("No scores yet."), std::string::npos);
  EXPECT_EQ(s.Get("/nothing").first, 404);
  EXPECT_EQ(s.Get("/hico.php?tt=gf&sc=" + std::string(2000, 'K')).first, 414);
  httplib::Client big("127.0.0.1", s.port());
  const auto res = big.Post("/hico.php", std::string(5000, 'x'), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 413);
}

TEST(Server, TheBoardKeepsEachPlayersBestAndBreaksTiesByTime) {
  LocalServer s;
  uint32_t key = 1;
  auto send = [&](int32_t score, const char* name, uint32_t user) {
    s.clock_ms += 1000;
    return s.Submit(Report(score, name, user, key++));
  };
  EXPECT_EQ(send(300, "Ada", 1).first, 200);
  EXPECT_EQ(send(500, "Bo", 2).first, 200);
  EXPECT_EQ(send(500, "Cy", 3).first, 200);   // same score, later: below Bo
  auto [status, body] = send(100, "Ada", 1);  // worse than Ada's best: the best stays
  EXPECT_NE(body.find("Your best, 300, stands at rank <span id=\"rank\">3</span>"),
            std::string::npos)
      << body;
  EXPECT_EQ(send(900, "Ada", 9).first, 200);  // another user with the same name is apart
  std::tie(status, body) = send(700, "Ada", 1);
  EXPECT_NE(body.find("<span id=\"rank\">2</span>"), std::string::npos) << body;

  std::tie(status, body) = s.Get("/api/scores?limit=10");
  std::regex entry(
      "\"rank\":([0-9]+),\"name\":\"([A-Za-z]+)\",\"score\":([0-9]+),\"user\":([0-9]+)");
  std::string got;
  for (std::sregex_iterator it(body.begin(), body.end(), entry), end; it != end; ++it)
    got +=
        (*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str() + " " + (*it)[4].str() + "\n";
  EXPECT_EQ(got, "1 Ada 900 9\n2 Ada 700 1\n3 Bo 500 2\n4 Cy 500 3\n");
  std::tie(status, body) = s.Get("/api/scores?limit=2");
  EXPECT_EQ(status, 200);
  EXPECT_EQ(body.find("Bo"), std::string::npos);
  for (const char* bad : {"0", "1001", "abc", "-1", "", "5&limit=6"}) {
    EXPECT_EQ(s.Get(std::string("/api/scores?limit=") + bad).first, 400) << bad;
  }
  EXPECT_EQ(s.Get("/api/scores?limit=1000").first, 200);
}

TEST(Server, HostileAndDamagedNamesAreShownAsText) {
  LocalServer s;
  // 11 bytes is all a report's name holds; the owner may be 51.
  auto [status, body] = s.Submit(Report(50, "<img src=x>", 1, 1, "<script>alert(1)</script>"));
  EXPECT_EQ(status, 200);
  EXPECT_NE(body.find("&lt;img src=x&gt;"), std::string::npos);
  EXPECT_NE(body.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos) << body;
  EXPECT_EQ(body.find("<script>"), std::string::npos);
  EXPECT_EQ(s.Submit(Report(40, "Zo\xC3", 2, 2)).first, 200);  // cut inside a character
  EXPECT_EQ(s.Submit(Report(30, "q\"\\", 3, 3)).first, 200);
  body = s.Get("/").second;
  EXPECT_NE(body.find("<td class=\"name\">&lt;img src=x&gt;</td>"), std::string::npos) << body;
  body = s.Get("/api/scores").second;
  EXPECT_NE(body.find("\"name\":\"Zo\xEF\xBF\xBD\""), std::string::npos) << body;
  EXPECT_NE(body.find("\"name\":\"q\\\"\\\\\""), std::string::npos) << body;
}

TEST(Server, ReportsBeyondTheRateLimitAreRefused) {
  server::AppOptions opt;
  opt.rate_limit = 3;
  LocalServer s(opt);
  for (uint32_t k = 1; k <= 3; ++k) EXPECT_EQ(s.Submit(Report(5, "A", 1, k)).first, 200) << k;
  EXPECT_EQ(s.Submit(Report(5, "A", 1, 4)).first, 429);
  EXPECT_EQ(s.Submit("bad").first, 429);       // refused reports count too
  EXPECT_EQ(s.Get("/api/scores").first, 200);  // reading is not limited
  // Two minutes on, the address may send again.
  s.clock_ms += 120'000;
  EXPECT_EQ(s.Submit(Report(5, "A", 1, 5)).first, 200);

  server::AppOptions off;
  off.rate_limit = 0;
  LocalServer unlimited(off);
  for (uint32_t k = 1; k <= 40; ++k) ASSERT_EQ(unlimited.Submit(Report(5, "A", 1, k)).first, 200);
}

TEST(Server, ClientsBehindATrustedProxyAreToldApart) {
  const std::vector<std::string> proxies = {"10.0.0.1", "10.0.0.2"};
  const struct {
    const char* peer;
    const char* forwarded;
    const char* client;
  } cases[] = {
      {"203.0.113.5", "198.51.100.7", "203.0.113.5"},  // not a proxy: the header is ignored
      {"10.0.0.1", "198.51.100.7", "198.51.100.7"},
      {"10.0.0.1", "6.6.6.6, 198.51.100.7", "198.51.100.7"},   // only the proxy's own entry counts
      {"10.0.0.1", "198.51.100.7, 10.0.0.2", "198.51.100.7"},  // through two proxies
      {"10.0.0.1", "", "10.0.0.1"},
      {"10.0.0.1", " , ", "10.0.0.1"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(server::ClientAddress(c.peer, c.forwarded, proxies), c.client) << c.forwarded;

  server::AppOptions opt;
  opt.rate_limit = 1;
  opt.trusted_proxies = {"127.0.0.1"};
  LocalServer s(opt);
  httplib::Client cl("127.0.0.1", s.port());
  auto send = [&](const char* from, uint32_t key) {
    const auto res = cl.Get(("/hico.php?tt=gf&sc=" + Report(5, "A", 1, key)).c_str(),
                            {{"X-Forwarded-For", from}});
    return res ? res->status : -1;
  };
  EXPECT_EQ(send("198.51.100.1", 1), 200);
  EXPECT_EQ(send("198.51.100.2", 2), 200);  // another player behind the same proxy
  EXPECT_EQ(send("198.51.100.1", 3), 429);
}

TEST(Server, RanksFromBandCountsMatchCountingEveryScoreAbove) {
  const auto dir = MakeTempDir("gfall_rank");
  auto db = server::OpenScoreDb("sqlite:" + (dir / "s.sqlite").string());
  db->Migrate();
  CheckRanks(*db);
  db.reset();
  std::filesystem::remove_all(dir);
}

TEST(Server, SchemaIsVersionedAndMigratedOnce) {
  const auto dir = MakeTempDir("gfall_schema");
  // The folders made for the database and the file are the server's alone.
  const std::string path = (dir / "new" / "sub" / "s.sqlite").string();
  {
    auto db = server::OpenScoreDb("sqlite:" + path);
    db->Migrate();
    db->Migrate();  // a second server start changes nothing
    EXPECT_EQ(db->SchemaVersion(), server::kSchemaVersion);
    db->Add({5, "A", "", 1, 1, 1});
  }
  sqlite3* raw = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
  auto count = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw, sql, -1, &st, nullptr);
    const int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
    sqlite3_finalize(st);
    return n;
  };
  EXPECT_EQ(count("SELECT COUNT(*) FROM schema_version"), 1);
  // The client's address served the rate limit and is not kept.
  EXPECT_EQ(count("SELECT COUNT(*) FROM reports WHERE client <> ''"), 0);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(stat((dir / "new").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((dir / "new" / "sub").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(count("SELECT COUNT(*) FROM reports"), 1);
  EXPECT_EQ(count("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name = 'best_rank'"),
            1);
  // A database from a newer server is left alone.
  sqlite3_exec(raw, "UPDATE schema_version SET version = 99", nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  auto db = server::OpenScoreDb("sqlite:" + path);
  EXPECT_THROW(db->Migrate(), server::DbError);
  db.reset();
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace server_test
