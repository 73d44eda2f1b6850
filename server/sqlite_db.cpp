// The SQLite store: one connection, one writer at a time (SQLite allows no
// more), in write-ahead-log mode so that readers of the file elsewhere do not
// stop it.

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "rank_bands.h"
#include "score_db.h"

namespace server {

namespace {

constexpr const char* kSchemaV1[] = {
    "CREATE TABLE reports ("
    " id INTEGER PRIMARY KEY,"
    " score INTEGER NOT NULL,"
    " player TEXT NOT NULL,"
    " owner TEXT NOT NULL,"
    " user_number INTEGER NOT NULL,"
    " report_key INTEGER NOT NULL,"
    " received_ms INTEGER NOT NULL,"
    " client TEXT NOT NULL,"
    " UNIQUE (user_number, report_key))",
    // One row per player name and user number: the best report so far.
    "CREATE TABLE best ("
    " player TEXT NOT NULL,"
    " user_number INTEGER NOT NULL,"
    " score INTEGER NOT NULL,"
    " received_ms INTEGER NOT NULL,"
    " report_id INTEGER NOT NULL,"
    " PRIMARY KEY (player, user_number))",
    "CREATE INDEX best_rank ON best (score DESC, received_ms, report_id)",
    "CREATE INDEX reports_received ON reports (received_ms)",
};

// Version 2: counts of best scores per score band (rank_bands.h), the
// health check's write probe, and no client addresses kept.
constexpr const char* kSchemaV2[] = {
    "CREATE TABLE rank_counts ("
    " level INTEGER NOT NULL,"
    " band INTEGER NOT NULL,"
    " n INTEGER NOT NULL,"
    " PRIMARY KEY (level, band)) WITHOUT ROWID",
    "INSERT INTO rank_counts (level, band, n) SELECT 1, score >> 20, COUNT(*) FROM best GROUP BY 2",
    "INSERT INTO rank_counts (level, band, n) SELECT 2, score >> 10, COUNT(*) FROM best GROUP BY 2",
    "CREATE TABLE health_probe (id INTEGER PRIMARY KEY, at_ms INTEGER NOT NULL)",
    "UPDATE reports SET client = ''",
};

class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s_, nullptr) != SQLITE_OK)
      throw DbError(std::string("sqlite: ") + sqlite3_errmsg(db));
  }
  ~Stmt() { sqlite3_finalize(s_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  Stmt& Reset() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
    return *this;
  }
  Stmt& Bind(int i, int64_t v) {
    Check(sqlite3_bind_int64(s_, i, v));
    return *this;
  }
  Stmt& Bind(int i, const std::string& v) {
    Check(sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    return *this;
  }
  // True while a row is there to read.
  bool Step() {
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw DbError(std::string("sqlite: ") + sqlite3_errmsg(db_));
  }
  void Run() {
    while (Step()) {
    }
    sqlite3_reset(s_);
  }
  int64_t Int(int col) const { return sqlite3_column_int64(s_, col); }
  bool Null(int col) const { return sqlite3_column_type(s_, col) == SQLITE_NULL; }
  std::string Text(int col) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s_, col));
    return p ? std::string(p, static_cast<size_t>(sqlite3_column_bytes(s_, col))) : std::string();
  }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) throw DbError(std::string("sqlite: ") + sqlite3_errmsg(db_));
  }
  sqlite3* db_;
  sqlite3_stmt* s_ = nullptr;
};

class SqliteDb final : public ScoreDb {
 public:
  explicit SqliteDb(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw DbError("sqlite: cannot open " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, 5000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
  }
  ~SqliteDb() override {
    stmts_.reset();
    sqlite3_close(db_);
  }

  void Migrate() override {
    std::lock_guard lock(mu_);
    Exec("BEGIN IMMEDIATE");
    try {
      Exec("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
      const int have = ReadVersion();
      if (have > kSchemaVersion) {
        throw DbError("the database's schema version " + std::to_string(have) +
                      " is newer than this server's " + std::to_string(kSchemaVersion));
      }
      if (have < 1) {
        for (const char* sql : kSchemaV1) Exec(sql);
      }
      if (have < 2) {
        for (const char* sql : kSchemaV2) Exec(sql);
      }
      if (have < kSchemaVersion) {
        Exec("DELETE FROM schema_version");
        Stmt set(db_, "INSERT INTO schema_version (version) VALUES (?1)");
        set.Bind(1, kSchemaVersion).Run();
      }
      Exec("COMMIT");
    } catch (...) {
      Exec("ROLLBACK");
      throw;
    }
    stmts_ = std::make_unique<Statements>(db_);
  }

  int SchemaVersion() override {
    std::lock_guard lock(mu_);
    return ReadVersion();
  }

  AddResult Add(const NewScore& s) override {
    std::lock_guard lock(mu_);
    Statements& st = Prepared();
    AddResult out;
    Exec("BEGIN IMMEDIATE");
    try {
      st.insert.Reset()
          .Bind(1, s.score)
          .Bind(2, s.player)
          .Bind(3, s.owner)
          .Bind(4, static_cast<int64_t>(s.user))
          .Bind(5, static_cast<int64_t>(s.key))
          .Bind(6, s.received_ms)
          .Bind(7, std::string());
      if (!st.insert.Step()) {
        st.insert.Reset();
        Exec("ROLLBACK");
        out.replay = true;
        return out;
      }
      const int64_t id = st.insert.Int(0);
      st.insert.Reset();
      st.mine.Reset().Bind(1, s.player).Bind(2, static_cast<int64_t>(s.user));
      const bool had = st.mine.Step();
      const int64_t old = had ? st.mine.Int(0) : 0;
      st.mine.Reset();
      if (!had || s.score > old) {
        st.best.Reset()
            .Bind(1, s.player)
            .Bind(2, static_cast<int64_t>(s.user))
            .Bind(3, s.score)
            .Bind(4, s.received_ms)
            .Bind(5, id)
            .Run();
        if (had) Count(st, old, -1);
        Count(st, s.score, 1);
      }
      Place(st, s.player, s.user, out);
      Exec("COMMIT");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
    return out;
  }

  std::vector<BoardEntry> Top(int limit) override {
    std::lock_guard lock(mu_);
    Statements& st = Prepared();
    std::vector<BoardEntry> out;
    st.top.Reset().Bind(1, limit);
    while (st.top.Step()) {
      BoardEntry e;
      e.rank = static_cast<int64_t>(out.size()) + 1;
      e.name = st.top.Text(0);
      e.user = static_cast<uint32_t>(st.top.Int(1));
      e.score = static_cast<int32_t>(st.top.Int(2));
      e.received_ms = st.top.Int(3);
      out.push_back(std::move(e));
    }
    st.top.Reset();
    return out;
  }

  bool CanStore(int64_t now_ms) override {
    std::lock_guard lock(mu_);
    try {
      Statements& st = Prepared();
      st.probe.Reset().Bind(1, now_ms).Run();
      return true;
    } catch (const DbError&) {
      return false;
    }
  }

  bool Ping() override {
    std::lock_guard lock(mu_);
    try {
      Stmt one(db_, "SELECT 1");
      return one.Step() && one.Int(0) == 1;
    } catch (const DbError&) {
      return false;
    }
  }

 private:
  struct Statements {
    explicit Statements(sqlite3* db)
        : insert(db,
                 "INSERT INTO reports (score, player, owner, user_number, report_key, received_ms,"
                 " client) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"
                 " ON CONFLICT (user_number, report_key) DO NOTHING RETURNING id"),
          best(db,
               "INSERT INTO best (player, user_number, score, received_ms, report_id)"
               " VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT (player, user_number) DO UPDATE SET"
               " score = excluded.score, received_ms = excluded.received_ms,"
               " report_id = excluded.report_id"),
          mine(db,
               "SELECT score, received_ms, report_id FROM best"
               " WHERE player = ?1 AND user_number = ?2"),
          count(db,
                "INSERT INTO rank_counts (level, band, n) VALUES (?1, ?2, ?3)"
                " ON CONFLICT (level, band) DO UPDATE SET n = n + excluded.n"),
          coarse(db, "SELECT COALESCE(SUM(n), 0) FROM rank_counts WHERE level = 1 AND band > ?1"),
          fine(db,
               "SELECT COALESCE(SUM(n), 0) FROM rank_counts"
               " WHERE level = 2 AND band > ?1 AND band < ?2"),
          ahead(db,
                "SELECT COUNT(*) FROM best WHERE score >= ?4 AND score < ?5 AND (score > ?1 OR"
                " (score = ?1 AND (received_ms < ?2 OR (received_ms = ?2 AND report_id < ?3))))"),
          top(db,
              "SELECT player, user_number, score, received_ms FROM best"
              " ORDER BY score DESC, received_ms, report_id LIMIT ?1"),
          probe(db,
                "INSERT INTO health_probe (id, at_ms) VALUES (1, ?1)"
                " ON CONFLICT (id) DO UPDATE SET at_ms = excluded.at_ms") {}
    Stmt insert, best, mine, count, coarse, fine, ahead, top, probe;
  };

  Statements& Prepared() {
    if (!stmts_) throw DbError("sqlite: the schema was not set up");
    return *stmts_;
  }

  void Place(Statements& st, const std::string& player, uint32_t user, AddResult& out) {
    st.mine.Reset().Bind(1, player).Bind(2, static_cast<int64_t>(user));
    if (!st.mine.Step()) throw DbError("sqlite: the player's best row is missing");
    const int64_t score = st.mine.Int(0), when = st.mine.Int(1), id = st.mine.Int(2);
    st.mine.Reset();
    const ScoreBands b = BandsOf(score);
    st.coarse.Reset().Bind(1, b.coarse);
    st.coarse.Step();
    int64_t ahead = st.coarse.Int(0);
    st.coarse.Reset();
    st.fine.Reset().Bind(1, b.fine).Bind(2, b.fine_end);
    st.fine.Step();
    ahead += st.fine.Int(0);
    st.fine.Reset();
    st.ahead.Reset().Bind(1, score).Bind(2, when).Bind(3, id).Bind(4, b.low).Bind(5, b.high);
    st.ahead.Step();
    ahead += st.ahead.Int(0);
    st.ahead.Reset();
    out.rank = ahead + 1;
    out.best = static_cast<int32_t>(score);
  }

  // One best score more (+1) or less (-1) in its bands.
  void Count(Statements& st, int64_t score, int delta) {
    const ScoreBands b = BandsOf(score);
    st.count.Reset().Bind(1, 1).Bind(2, b.coarse).Bind(3, delta).Run();
    st.count.Reset().Bind(1, 2).Bind(2, b.fine).Bind(3, delta).Run();
  }

  int ReadVersion() {
    Stmt v(db_, "SELECT MAX(version) FROM schema_version");
    if (!v.Step() || v.Null(0)) return 0;
    return static_cast<int>(v.Int(0));
  }

  void Exec(const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
      const std::string why = err ? err : sqlite3_errmsg(db_);
      sqlite3_free(err);
      throw DbError("sqlite: " + why);
    }
  }

  std::mutex mu_;
  sqlite3* db_ = nullptr;
  std::unique_ptr<Statements> stmts_;
};

}  // namespace

std::unique_ptr<ScoreDb> OpenSqliteDb(const std::string& path) {
  // The folders made for it and the file itself are the server's alone
  // (SQLite gives its journal files the database file's mode).
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::filesystem::path made;
  for (const auto& part : parent) {
    made /= part;
    if (mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
      throw DbError("sqlite: cannot make the folder " + made.string() + ": " +
                    std::strerror(errno));
  }
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) close(fd);
  return std::make_unique<SqliteDb>(path);
}

std::string DefaultSqlitePath() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg) return std::string(xdg) + "/gfall/scores.sqlite";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/gfall/scores.sqlite";
  return {};
}

bool IsPostgresSpec(const std::string& spec) {
  return spec.rfind("postgresql:", 0) == 0 || spec.rfind("postgres://", 0) == 0;
}

std::unique_ptr<ScoreDb> OpenScoreDb(const std::string& spec) {
  if (IsPostgresSpec(spec)) {
    // "postgresql:KEY=VALUE ..." carries a key-value connection string.
    const bool uri = spec.rfind("postgresql://", 0) == 0 || spec.rfind("postgres://", 0) == 0;
    return OpenPostgresDb(uri ? spec : spec.substr(11), 8);
  }
  const std::string path = spec.rfind("sqlite:", 0) == 0 ? spec.substr(7) : spec;
  if (path.empty()) throw DbError("no database file named");
  return OpenSqliteDb(path);
}

}  // namespace server
