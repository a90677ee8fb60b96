// CPU time of one poll tick (Timer1Timer with an empty sequencer step) against the item
// server on its simulated machine.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/fakes/fake_platform.h"
#include "platform/itemserver/item_server.h"
#include "plc/poll_cycle.h"

namespace {

using namespace velta;

void BM_Timer1Timer(benchmark::State& state) {
  QTemporaryDir root;
  QDir().mkpath(root.path() + "/D/rododezuz/sistem");
  QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/fatekserver.fcs"),
              root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
  ObjectRegistry registry;
  registerItemServer(registry, ItemServerEnvironment{DriveMap(root.path()), nullptr, nullptr,
                                                     [](const QString&) {}});
  FormState form;
  PlcServerRef server = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
  server->OpenProject(kPlcProjectPath);
  RecordingShutdown shutdown;
  RecordingTermination termination;
  const RegionalSettings regional;
  PollCycle poll(form, server, registry, shutdown, termination, regional);
  poll.setTestCycle([] {});
  int failures = 0;
  poll.setFailureSink([&](const QString&) { ++failures; });

  for (auto _ : state) poll.Timer1Timer();

  if (failures || termination.requests) state.SkipWithError("the tick failed");
  benchmark::DoNotOptimize(form.text(ctl::Edit2));
}
BENCHMARK(BM_Timer1Timer);

}  // namespace
