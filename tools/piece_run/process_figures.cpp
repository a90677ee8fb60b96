#include "tools/piece_run/process_figures.h"

#include <dirent.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>

namespace velta::piecerun {

namespace {

// Entries of a /proc folder; the descriptor the listing holds open is not one of ours.
int entries(const char* dir, bool ownDescriptorListed) {
  DIR* d = ::opendir(dir);
  if (!d) return -1;
  int n = 0;
  while (const dirent* e = ::readdir(d))
    if (e->d_name[0] != '.') ++n;
  ::closedir(d);
  return ownDescriptorListed ? n - 1 : n;
}

}  // namespace

ProcessFigures sampleProcess() {
  ProcessFigures f;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    long long size = 0, resident = 0;
    if (std::fscanf(statm, "%lld %lld", &size, &resident) == 2) f.residentBytes = resident * ::sysconf(_SC_PAGESIZE);
    std::fclose(statm);
  }
  f.descriptors = entries("/proc/self/fd", true);
  f.threads = entries("/proc/self/task", false);
  f.sqliteBytes = sqlite3_memory_used();
  return f;
}

std::string describe(const ProcessFigures& f) {
  return "resident " + std::to_string(f.residentBytes / 1024) + " kB (SQLite " + std::to_string(f.sqliteBytes / 1024) +
         " kB), " + std::to_string(f.descriptors) +
         " descriptors, " + std::to_string(f.threads) + " threads";
}

}  // namespace velta::piecerun
