#pragma once
// The process's own resident memory, open descriptors and threads, from /proc/self, for
// the soak's before/after figures. Linux only; any thread.
#include <string>

namespace velta::piecerun {

struct ProcessFigures {
  long long residentBytes = 0;  // /proc/self/statm, resident pages times the page size
  int descriptors = 0;          // entries of /proc/self/fd (not counting the listing's own)
  int threads = 0;              // entries of /proc/self/task
  long long sqliteBytes = 0;    // heap SQLite holds (its page caches among it), sqlite3_memory_used()
};

ProcessFigures sampleProcess();
// "resident 12345 kB (SQLite 800 kB), 9 descriptors, 4 threads"
std::string describe(const ProcessFigures& f);

}  // namespace velta::piecerun
