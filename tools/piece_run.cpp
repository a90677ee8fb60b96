// velta-piece-run: the station's logic against the networked simulated machine with link
// faults, on a fast clock, and the check of every stored record (see tools/piece_run/).
//
//   velta-piece-run [--pieces N] [--protocol modbus|native] [--fault-every N] [--seed S]
//                   [--hours H] [--root DIR]
//
// Prints the figures and exits 0 only when every finished piece is stored once with the
// values the machine held (and, with --hours, memory, descriptors and threads held
// steady); 1 when not; 2 for wrong usage.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/error.h"
#include "tools/piece_run/piece_run.h"

namespace {

int usage(const std::string& why) {
  std::fprintf(stderr,
               "velta-piece-run: %s\n"
               "usage: velta-piece-run [--pieces N] [--protocol modbus|native] [--fault-every N] [--seed S]\n"
               "                       [--hours H] [--root DIR]\n"
               "  --pieces N       pieces to finish (default 10000; with --hours at least these)\n"
               "  --fault-every N  a link fault every N pieces, kinds and handshake points varying (default 50, 0: none)\n"
               "  --hours H        a soak: H simulated hours from 2026-12-09 12:00, memory, descriptors\n"
               "                   and threads measured after the first 5 %% of the pieces and at the end\n"
               "  --root DIR       station root to keep the data files in (default: a temporary one)\n",
               why.c_str());
  return 2;
}

bool whole(const char* text, long long min, long long max, long long& out) {
  char* end = nullptr;
  const long long v = std::strtoll(text, &end, 10);
  if (!*text || *end || v < min || v > max) return false;
  out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  velta::piecerun::Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") return usage("the station against the simulated machine at scale"), 0;
    if (i + 1 >= argc) return usage("missing value after " + a);
    const char* v = argv[++i];
    long long n = 0;
    bool ok = true;
    if (a == "--pieces") ok = whole(v, 1, 10'000'000, n), o.pieces = static_cast<int>(n);
    else if (a == "--fault-every") ok = whole(v, 0, 10'000'000, n), o.faultEvery = static_cast<int>(n);
    else if (a == "--seed") ok = whole(v, 0, 2'000'000'000, n), o.seed = static_cast<quint64>(n);
    else if (a == "--hours") {
      char* end = nullptr;
      o.hours = std::strtod(v, &end);
      ok = *v && !*end && o.hours > 0 && o.hours <= 24 * 31;
    } else if (a == "--protocol") {
      ok = std::string(v) == "modbus" || std::string(v) == "native";
      o.modbus = std::string(v) == "modbus";
    } else if (a == "--root") o.root = QString::fromLocal8Bit(v);
    else return usage("unknown option " + a);
    if (!ok) return usage("bad value for " + a);
  }
  try {
    const velta::piecerun::Result r = velta::piecerun::run(o);
    std::printf("%s", velta::piecerun::summary(o, r).c_str());
    return r.good() ? 0 : 1;
  } catch (const velta::Error& e) {
    std::fprintf(stderr, "velta-piece-run: %s\n", e.what());
    return 1;
  }
}
