#pragma once
// A throwaway PostgreSQL cluster in a folder, listening on a Unix socket in
// that folder only; stopped when the object goes.

#include <glob.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "process.h"

namespace server_test {

// The folder of initdb and pg_ctl: Debian keeps them out of PATH.
inline std::string PostgresBin() {
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
  ~Cluster() { Stop(); }
  void Stop() {
    if (started_)
      Shell(as_ + bin_ + "/pg_ctl -D " + (dir_ / "data").string() + " -m immediate -w stop");
    started_ = false;
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

}  // namespace server_test
