// Runs a fuzz target over the files of its corpus folders once each, without libFuzzer:
// the seed corpus as a regression test in the normal (and the sanitizer) build.
#include <QDirIterator>
#include <QFile>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  int inputs = 0;
  for (int i = 1; i < argc; ++i) {
    QDirIterator it(QString::fromLocal8Bit(argv[i]), QDir::Files);
    while (it.hasNext()) {
      QFile f(it.next());
      if (!f.open(QIODevice::ReadOnly)) return 2;
      const QByteArray bytes = f.readAll();
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
      ++inputs;
    }
  }
  std::printf("%d inputs replayed\n", inputs);
  return inputs > 0 ? 0 : 1;  // an empty corpus proves nothing
}
