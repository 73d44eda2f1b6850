#pragma once
// Where the score server keeps what it receives: SQLite by default, or
// PostgreSQL so that several servers can share one database. The server
// holds nothing else, so any number of them can run side by side.
//
// Every method may be called from many threads at once. A database that
// cannot answer throws DbError.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "web.h"

namespace server {

struct DbError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The schema version this server creates and understands.
inline constexpr int kSchemaVersion = 2;

struct NewScore {
  int32_t score = 0;
  std::string player;  // valid UTF-8
  std::string owner;   // valid UTF-8
  uint32_t user = 0;
  uint32_t key = 0;
  int64_t received_ms = 0;
  // The client address is used for the rate limit only and is not stored.
};

struct AddResult {
  bool replay = false;  // this user number and key were received before: nothing stored
  int64_t rank = 0;     // the player's place on the leaderboard after the report
  int32_t best = 0;     // the player's best score
};

class ScoreDb {
 public:
  virtual ~ScoreDb() = default;
  // Creates the schema or brings it up to kSchemaVersion.
  virtual void Migrate() = 0;
  virtual AddResult Add(const NewScore& s) = 0;
  // The best `limit` scores, one per player name and user number, ties by
  // the earlier report.
  virtual std::vector<BoardEntry> Top(int limit) = 0;
  // True when the database answers a trivial query.
  virtual bool Ping() = 0;
  // True when the database can store: a small write that is kept (the health check).
  virtual bool CanStore(int64_t now_ms) = 0;
  virtual int SchemaVersion() = 0;
};

// "sqlite:PATH" (or a plain path) or a PostgreSQL connection string
// ("postgresql://..." or "postgres://..."). Throws DbError.
std::unique_ptr<ScoreDb> OpenScoreDb(const std::string& spec);
bool IsPostgresSpec(const std::string& spec);

std::unique_ptr<ScoreDb> OpenSqliteDb(const std::string& path);
std::unique_ptr<ScoreDb> OpenPostgresDb(const std::string& conninfo, int connections);

// The default database file: $XDG_DATA_HOME/gfall/scores.sqlite, else
// ~/.local/share/gfall/scores.sqlite; empty when neither is known.
std::string DefaultSqlitePath();

}  // namespace server
