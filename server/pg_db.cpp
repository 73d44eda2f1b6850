// The PostgreSQL store: a few connections shared by the request threads.
// Several servers may use one database at once: every report goes in with a
// single transaction, and the best-score table is updated with an upsert.

#include <condition_variable>
#include <mutex>
#include <pqxx/pqxx>

#include "rank_bands.h"
#include "score_db.h"

namespace server {

namespace {

// Lock number that serialises schema changes between servers starting together.
constexpr int64_t kMigrationLock = 0x6766616c6c;

constexpr const char* kSchemaV1[] = {
    "CREATE TABLE reports ("
    " id BIGSERIAL PRIMARY KEY,"
    " score INTEGER NOT NULL,"
    " player TEXT NOT NULL,"
    " owner TEXT NOT NULL,"
    " user_number BIGINT NOT NULL,"
    " report_key BIGINT NOT NULL,"
    " received_ms BIGINT NOT NULL,"
    " client TEXT NOT NULL,"
    " UNIQUE (user_number, report_key))",
    "CREATE TABLE best ("
    " player TEXT NOT NULL,"
    " user_number BIGINT NOT NULL,"
    " score INTEGER NOT NULL,"
    " received_ms BIGINT NOT NULL,"
    " report_id BIGINT NOT NULL,"
    " PRIMARY KEY (player, user_number))",
    "CREATE INDEX best_rank ON best (score DESC, received_ms, report_id)",
    "CREATE INDEX reports_received ON reports (received_ms)",
};

// Version 2: counts of best scores per score band (rank_bands.h), the
// health check's write probe, and no client addresses kept.
constexpr const char* kSchemaV2[] = {
    "CREATE TABLE rank_counts ("
    " level INTEGER NOT NULL,"
    " band BIGINT NOT NULL,"
    " n BIGINT NOT NULL,"
    " PRIMARY KEY (level, band))",
    "INSERT INTO rank_counts (level, band, n) SELECT 1, score >> 20, COUNT(*) FROM best GROUP BY 2",
    "INSERT INTO rank_counts (level, band, n) SELECT 2, score >> 10, COUNT(*) FROM best GROUP BY 2",
    "CREATE TABLE health_probe (id INTEGER PRIMARY KEY, at_ms BIGINT NOT NULL)",
    "UPDATE reports SET client = ''",
};

void Prepare(pqxx::connection& c) {
  c.prepare("insert",
            "INSERT INTO reports (score, player, owner, user_number, report_key, received_ms,"
            " client) VALUES ($1, $2, $3, $4, $5, $6, $7)"
            " ON CONFLICT (user_number, report_key) DO NOTHING RETURNING id");
  c.prepare(
      "new_best",
      "INSERT INTO best (player, user_number, score, received_ms, report_id)"
      " VALUES ($1, $2, $3, $4, $5) ON CONFLICT (player, user_number) DO NOTHING RETURNING 1");
  c.prepare("better",
            "UPDATE best SET score = $3, received_ms = $4, report_id = $5"
            " WHERE player = $1 AND user_number = $2");
  c.prepare("lock_mine",
            "SELECT score FROM best WHERE player = $1 AND user_number = $2 FOR UPDATE");
  c.prepare(
      "mine",
      "SELECT score, received_ms, report_id FROM best WHERE player = $1 AND user_number = $2");
  c.prepare("count",
            "INSERT INTO rank_counts (level, band, n) VALUES (1, $1, $3), (2, $2, $3)"
            " ON CONFLICT (level, band) DO UPDATE SET n = rank_counts.n + excluded.n");
  // The scores ahead: coarse bands above, fine bands above within the coarse
  // band, and the scores ahead within the fine band ($6, $7: its range).
  c.prepare("ahead",
            "SELECT (SELECT COALESCE(SUM(n), 0) FROM rank_counts WHERE level = 1 AND band > $1)"
            " + (SELECT COALESCE(SUM(n), 0) FROM rank_counts WHERE level = 2 AND band > $2"
            " AND band < $3)"
            " + (SELECT COUNT(*) FROM best WHERE score >= $6::bigint AND score < $7::bigint AND "
            "(score > $4 OR"
            " (score = $4 AND (received_ms < $5 OR (received_ms = $5 AND report_id < $8)))))");
  c.prepare("probe",
            "INSERT INTO health_probe (id, at_ms) VALUES (1, $1)"
            " ON CONFLICT (id) DO UPDATE SET at_ms = excluded.at_ms");
  c.prepare("top",
            "SELECT player, user_number, score, received_ms FROM best"
            " ORDER BY score DESC, received_ms, report_id LIMIT $1");
  c.prepare("ping", "SELECT 1");
  c.prepare("version", "SELECT MAX(version) FROM schema_version");
}

class PgDb final : public ScoreDb {
 public:
  PgDb(std::string conninfo, int connections)
      : conninfo_(std::move(conninfo)), max_(connections < 1 ? 1 : connections) {
    // Connect once now, so a wrong address is reported at start.
    ++open_;
    Release(Connect());
  }

  void Migrate() override {
    Use([&](pqxx::connection& c) {
      pqxx::work w(c);
      w.exec_params("SELECT pg_advisory_xact_lock($1)", kMigrationLock);
      w.exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
      const auto r = w.exec_prepared("version");
      const int have = r[0][0].is_null() ? 0 : r[0][0].as<int>();
      if (have > kSchemaVersion) {
        throw DbError("the database's schema version " + std::to_string(have) +
                      " is newer than this server's " + std::to_string(kSchemaVersion));
      }
      if (have < 1) {
        for (const char* sql : kSchemaV1) w.exec(sql);
      }
      if (have < 2) {
        for (const char* sql : kSchemaV2) w.exec(sql);
      }
      if (have < kSchemaVersion) {
        w.exec("DELETE FROM schema_version");
        w.exec_params("INSERT INTO schema_version (version) VALUES ($1)", kSchemaVersion);
      }
      w.commit();
      return 0;
    });
  }

  int SchemaVersion() override {
    return Use([&](pqxx::connection& c) {
      pqxx::read_transaction t(c);
      const auto r = t.exec_prepared("version");
      return r[0][0].is_null() ? 0 : r[0][0].as<int>();
    });
  }

  AddResult Add(const NewScore& s) override {
    return Use([&](pqxx::connection& c) {
      AddResult out;
      pqxx::work w(c);
      const auto ins =
          w.exec_prepared("insert", s.score, s.player, s.owner, static_cast<int64_t>(s.user),
                          static_cast<int64_t>(s.key), s.received_ms, std::string());
      if (ins.empty()) {
        w.abort();
        out.replay = true;
        return out;
      }
      const auto id = ins[0][0].as<int64_t>();
      const int64_t user = s.user;
      auto count = [&](int64_t score, int delta) {
        const ScoreBands b = BandsOf(score);
        w.exec_prepared("count", b.coarse, b.fine, delta);
      };
      // The player's row is locked while it changes, so two servers taking
      // reports of one player keep the band counts right.
      auto had = w.exec_prepared("lock_mine", s.player, user);
      if (had.empty()) {
        if (!w.exec_prepared("new_best", s.player, user, s.score, s.received_ms, id).empty()) {
          count(s.score, 1);
        } else {
          had = w.exec_prepared("lock_mine", s.player, user);  // another server was first
        }
      }
      if (!had.empty()) {
        const auto old = had[0][0].as<int64_t>();
        if (s.score > old) {
          w.exec_prepared("better", s.player, user, s.score, s.received_ms, id);
          count(old, -1);
          count(s.score, 1);
        }
      }
      const auto mine = w.exec_prepared("mine", s.player, user);
      if (mine.empty()) throw DbError("postgresql: the player's best row is missing");
      const auto score = mine[0][0].as<int32_t>();
      const auto when = mine[0][1].as<int64_t>();
      const auto best_id = mine[0][2].as<int64_t>();
      const ScoreBands b = BandsOf(score);
      const auto ahead = w.exec_prepared("ahead", b.coarse, b.fine, b.fine_end, score, when, b.low,
                                         b.high, best_id);
      out.rank = ahead[0][0].as<int64_t>() + 1;
      out.best = score;
      w.commit();
      return out;
    });
  }

  std::vector<BoardEntry> Top(int limit) override {
    return Use([&](pqxx::connection& c) {
      pqxx::read_transaction t(c);
      const auto r = t.exec_prepared("top", limit);
      std::vector<BoardEntry> out;
      out.reserve(r.size());
      for (const auto& row : r) {
        BoardEntry e;
        e.rank = static_cast<int64_t>(out.size()) + 1;
        e.name = row[0].as<std::string>();
        e.user = static_cast<uint32_t>(row[1].as<int64_t>());
        e.score = row[2].as<int32_t>();
        e.received_ms = row[3].as<int64_t>();
        out.push_back(std::move(e));
      }
      return out;
    });
  }

  bool CanStore(int64_t now_ms) override {
    try {
      return Use([&](pqxx::connection& c) {
        pqxx::work w(c);
        w.exec_prepared("probe", now_ms);
        w.commit();
        return true;
      });
    } catch (const DbError&) {
      return false;
    }
  }

  bool Ping() override {
    try {
      return Use([&](pqxx::connection& c) {
        pqxx::nontransaction t(c);
        return t.exec_prepared("ping")[0][0].as<int>() == 1;
      });
    } catch (const DbError&) {
      return false;
    }
  }

 private:
  std::unique_ptr<pqxx::connection> Connect() {
    try {
      auto c = std::make_unique<pqxx::connection>(conninfo_);
      Prepare(*c);
      return c;
    } catch (const std::exception& e) {
      throw DbError(std::string("postgresql: ") + e.what());
    }
  }

  std::unique_ptr<pqxx::connection> Acquire() {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return !idle_.empty() || open_ < max_; });
    if (!idle_.empty()) {
      auto c = std::move(idle_.back());
      idle_.pop_back();
      return c;
    }
    ++open_;
    lock.unlock();
    try {
      return Connect();
    } catch (...) {
      lock.lock();
      --open_;
      cv_.notify_one();
      throw;
    }
  }

  void Release(std::unique_ptr<pqxx::connection> c) {
    std::lock_guard lock(mu_);
    if (c) {
      idle_.push_back(std::move(c));
    } else {
      --open_;
    }
    cv_.notify_one();
  }

  // Runs `f` on a pooled connection; a connection that broke is dropped.
  template <typename F>
  auto Use(F f) -> decltype(f(std::declval<pqxx::connection&>())) {
    auto c = Acquire();
    try {
      auto result = f(*c);
      Release(std::move(c));
      return result;
    } catch (const pqxx::broken_connection& e) {
      c.reset();
      Release(nullptr);
      throw DbError(std::string("postgresql: connection lost: ") + e.what());
    } catch (const DbError&) {
      Release(std::move(c));
      throw;
    } catch (const std::exception& e) {
      const bool usable = c->is_open();
      if (!usable) c.reset();
      Release(usable ? std::move(c) : nullptr);
      throw DbError(std::string("postgresql: ") + e.what());
    }
  }

  std::string conninfo_;
  int max_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<std::unique_ptr<pqxx::connection>> idle_;
  int open_ = 0;
};

}  // namespace

std::unique_ptr<ScoreDb> OpenPostgresDb(const std::string& conninfo, int connections) {
  return std::make_unique<PgDb>(conninfo, connections);
}

}  // namespace server
