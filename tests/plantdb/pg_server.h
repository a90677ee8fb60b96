#pragma once
// A PostgreSQL 15 server of the test's own: initdb into a temporary folder, started on a
// free loopback port (and a Unix socket in the folder), stopped or killed by the test.
// As root the server runs as "nobody" (PostgreSQL refuses to run as root). Local
// connections are trusted; over TCP the role "station" must give its password, every
// other role is trusted.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <stdexcept>
#include <vector>

#include "plantdb/pg_link.h"

namespace velta::test {

inline const QString kPgBin = QStringLiteral("/usr/lib/postgresql/15/bin/");

class PgServer {
 public:
  PgServer() {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    if (geteuid() == 0) {
      run(QStringLiteral("chown"), {QStringLiteral("nobody:nogroup"), dir_.path()}, false);
    }
    run(kPgBin + "initdb", {"-D", data(), "-U", "postgres", "-A", "trust", "--no-sync", "-E", "UTF8"});
    QFile hba(data() + "/pg_hba.conf");
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw std::runtime_error("pg_hba.conf");
    hba.write("local all all trust\n"
              "host all station 127.0.0.1/32 scram-sha-256\n"
              "host all all 127.0.0.1/32 trust\n");
    hba.close();
    if (geteuid() == 0) run(QStringLiteral("chown"), {QStringLiteral("nobody:nogroup"), hba.fileName()}, false);
    port_ = freePort();
    start();
  }
  ~PgServer() {
    if (running_) run(kPgBin + "pg_ctl", {"-D", data(), "-m", "immediate", "-w", "stop"}, true, false);
  }

  int port() const { return port_; }
  QString connection(const QString& extra = {}) const {
    return QStringLiteral("host=127.0.0.1 port=%1 dbname=postgres user=postgres %2").arg(port_).arg(extra);
  }
  QString folder() const { return dir_.path(); }

  void start() {
    // After a crash the server may still be ending its last processes: the start is tried again.
    for (int attempt = 0;; ++attempt) {
      try {
        startOnce();
        return;
      } catch (const std::runtime_error& e) {
        if (attempt == 20) {
          QFile log(dir_.path() + "/log");
          log.open(QIODevice::ReadOnly);
          throw std::runtime_error(e.what() + log.readAll().right(2000).toStdString());
        }
        usleep(250 * 1000);
      }
    }
  }
  void startOnce() {
    run(kPgBin + "pg_ctl", {"-D", data(), "-l", dir_.path() + "/log", "-w", "-o",
                            QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                           "-c max_connections=50")
                                .arg(port_)
                                .arg(dir_.path()),
                            "start"});
    running_ = true;
  }
  void stop() {
    run(kPgBin + "pg_ctl", {"-D", data(), "-m", "fast", "-w", "stop"});
    running_ = false;
  }
  // A crash: every process of this server ends at once (SIGKILL, by process id), nothing
  // is shut down in order.
  void kill() {
    QFile pid(data() + "/postmaster.pid");
    if (!pid.open(QIODevice::ReadOnly)) throw std::runtime_error("no postmaster.pid");
    const pid_t postmaster = pid_t(pid.readLine().trimmed().toLongLong());
    pid.close();
    QProcess children;
    children.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(postmaster)});
    children.waitForFinished();
    std::vector<pid_t> pids{postmaster};
    for (const QByteArray& line : children.readAllStandardOutput().split('\n'))
      if (!line.trimmed().isEmpty()) pids.push_back(pid_t(line.trimmed().toLongLong()));
    for (pid_t p : pids) ::kill(p, SIGKILL);
    for (pid_t p : pids)
      for (int i = 0; i < 200 && alive(p); ++i) usleep(20 * 1000);
    running_ = false;
  }

  // A superuser link for the test's own checks and changes.
  plantdb::PgLink admin() const {
    return plantdb::PgLink({connection(QStringLiteral("application_name=test-admin")), 5, 60000, {}});
  }
  plantdb::PgResult query(const QByteArray& sql, const plantdb::PgParams& params = {}) const {
    auto link = admin();
    link.connect();
    return link.exec(sql, params);
  }

 private:
  QString data() const { return dir_.path() + "/data"; }
  void run(const QString& program, QStringList args, bool asServerUser = true, bool mustSucceed = true) const {
    QProcess p;
    p.setWorkingDirectory(QDir::tempPath());
    if (asServerUser && geteuid() == 0) {
      args.prepend(program);
      args.prepend(QStringLiteral("--"));
      args.prepend(QStringLiteral("nobody"));
      args.prepend(QStringLiteral("-u"));
      p.start(QStringLiteral("runuser"), args);
    } else {
      p.start(program, args);
    }
    p.waitForFinished(120000);
    if (mustSucceed && (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0))
      throw std::runtime_error((program + ": " + QString::fromLocal8Bit(p.readAllStandardError() + p.readAllStandardOutput()))
                                   .toStdString());
  }
  // Running, not a zombie waiting to be reaped.
  static bool alive(pid_t p) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(p));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray s = stat.readAll();
    const qsizetype close = s.lastIndexOf(')');
    return close > 0 && s.size() > close + 2 && s[close + 2] != 'Z';
  }
  static int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    const int port = ntohs(a.sin_port);
    ::close(s);
    return port;
  }

  QTemporaryDir dir_;
  int port_ = 0;
  bool running_ = false;
};

}  // namespace velta::test
