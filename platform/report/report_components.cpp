#include "platform/report/report_components.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>

#include "platform/error.h"
#include "platform/report/report_document.h"

namespace velta {

namespace {

const QString kSnapshotFormat = QStringLiteral("Rave Snapshot File (NDR)");

QString statusText(const QString& format, int page) {
  QString s = format;
  return s.replace(QStringLiteral("%p"), QString::number(page));
}

QString setupNames(SetupPermissions s) {
  static const char* names[] = {"ssAllowSetup",       "ssAllowCopies",       "ssAllowCollate",
                                "ssAllowDuplex",      "ssAllowDestPreview",  "ssAllowDestPrinter",
                                "ssAllowDestFile",    "ssAllowPrinterSetup", "ssAllowPreviewSetup"};
  QStringList out;
  for (unsigned i = 0; i < 9; ++i)
    if (s.testFlag(SetupPermission(1u << i))) out << QString::fromLatin1(names[i]);
  return u'[' + out.join(u',') + u']';
}

}  // namespace

QString destinationName(ReportDestination d) {
  switch (d) {
    case ReportDestination::rdPreview: return QStringLiteral("rdPreview");
    case ReportDestination::rdPrinter: return QStringLiteral("rdPrinter");
    case ReportDestination::rdFile: return QStringLiteral("rdFile");
  }
  return {};
}

void RvSystem::setDefaultDest(ReportDestination d) {
  defaultDest_ = d;
  note(QStringLiteral("DefaultDest=") + destinationName(d));
}
void RvSystem::setSystemSetups(SetupPermissions s) {
  setups_ = s;
  note(QStringLiteral("SystemSetups=") + setupNames(s));
}
void RvSystem::setDoNativeOutput(bool on) {
  nativeOutput_ = on;
  note(QStringLiteral("DoNativeOutput=") + (on ? QStringLiteral("True") : QStringLiteral("False")));
}
void RvSystem::setRenderObject(ReportRenderer* r) {
  renderer_ = r;
  note(QStringLiteral("RenderObject=") + (r ? r->Name() : QString()));
}
void RvSystem::setOutputFileName(const QString& windowsPath) {
  outputFileName_ = windowsPath;
  note(QStringLiteral("OutputFileName=") + windowsPath);
}

ReportRecord RvDataSetConnection::record() const {
  if (!dataSet_) throw Error(name_ + QStringLiteral(": no data set is connected"));
  return dataSet_->currentRecord();
}

RvProject::RvProject(QString name, ReportEnvironment env)
    : name_(std::move(name)), env_(std::move(env)) {}
RvProject::~RvProject() = default;

void RvProject::setProjectFile(const QString& windowsPath) {
  projectFile_ = windowsPath;
  note(QStringLiteral("ProjectFile=") + windowsPath);
}
void RvProject::setEngine(RvSystem* system) {
  engine_ = system;
  note(QStringLiteral("Engine=") + (system ? system->Name() : QString()));
}
void RvProject::Close() {
  project_.reset();
  note(QStringLiteral("Close"));
}
void RvProject::ClearStoredProject() {
  storedProject_.clear();
  note(QStringLiteral("ClearStoredProject"));
}

void RvProject::open() {
  if (project_) return;
  if (projectFile_.isEmpty() && !storedProject_.isEmpty()) {
    project_ = std::make_unique<ReportProjectDefinition>(parseReportProject(storedProject_, name_));
    return;
  }
  const QString host = env_.drives.toHost(projectFile_);
  if (projectFile_.isEmpty() || !QFileInfo(host).isFile())
    throw Error(QStringLiteral("The following reporting project does not exist:\r\"%1\"")
                    .arg(projectFile_));
  QFile file(host);
  if (!file.open(QIODevice::ReadOnly))
    throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(projectFile_, file.errorString()));
  // Refused before reading: the press must not take in a file of any size.
  if (file.size() > kMaxReportProjectBytes) throw Error(reportProjectTooLarge(projectFile_, file.size()));
  project_ = std::make_unique<ReportProjectDefinition>(
      parseReportProject(QString::fromUtf8(file.readAll()), projectFile_));
}

void RvProject::Execute() {
  note(QStringLiteral("Execute"));
  if (engine_) {
    run(*engine_);
  } else {
    RvSystem own(QStringLiteral("(own)"));
    run(own);
  }
}

void RvProject::ExecuteOnOwnSystem() {
  note(QStringLiteral("ExecuteOnOwnSystem"));
  RvSystem own(QStringLiteral("(own)"));
  run(own);
}

void RvProject::run(RvSystem& sys) {
  open();
  const ReportDefinition& report = project_->activeReport(projectFile_);
  std::vector<ReportConnectionData> data;
  for (const RvDataSetConnection* c : connections_) data.push_back({c->Name(), c->record()});
  const ReportDocument doc(report, data, env_.decimalSeparator, projectFile_);

  auto needDialogs = [&]() -> ReportDialogs& {
    if (!env_.dialogs) throw Error(name_ + QStringLiteral(": the report windows are not available"));
    return *env_.dialogs;
  };

  OutputChoice choice;
  choice.destination = sys.DefaultDest();
  if (sys.SystemSetups().testFlag(ssAllowSetup)) {
    OutputOptionsRequest request;
    request.title = sys.TitleSetup;
    request.preselected = sys.DefaultDest();
    request.permissions = sys.SystemSetups();
    // Only formats that can be written are offered (no snapshot or printer-file renderer
    // exists here: offering them only led to a refusal).
    for (const ReportRenderer* r : renderers_) request.fileFormats << r->DisplayName();
    request.defaultFileName = sys.OutputFileName().isEmpty() ? QString()
                                                             : env_.drives.toHost(sys.OutputFileName());
    request.pageCount = doc.pageCount();
    std::optional<OutputChoice> answer = needDialogs().chooseOutput(request);
    if (!answer) return;  // cancelled: no output, no message
    choice = *answer;
  } else {
    choice.fileName = sys.OutputFileName();
    if (sys.RenderObject()) choice.fileFormat = sys.RenderObject()->DisplayName();
  }

  PrintJob job;
  job.jobTitle = sys.JobTitle;
  job.statusTitle = sys.TitleStatus;
  job.statusText = sys.StatusPrinting;
  job.showStatus = sys.Options.testFlag(soShowStatus);
  job.allowPrinterSetup = sys.SystemSetups().testFlag(ssAllowPrinterSetup);
  job.copies = std::max(1, choice.copies);
  job.fromPage = choice.fromPage;
  job.toPage = choice.toPage;
  job.collate = choice.collate;
  job.previewZoomPercent = sys.PreviewZoom;

  switch (choice.destination) {
    case ReportDestination::rdPreview: {
      ReportDialogs& dialogs = needDialogs();
      if (job.showStatus) {
        auto status = dialogs.openStatus(sys.TitleStatus);
        for (int p = 1; p <= doc.pageCount(); ++p) status->setText(statusText(sys.StatusFormat, p));
      }
      dialogs.showPreview(sys.TitlePreview, doc, job, sys.Options.testFlag(soAllowPrintFromPreview));
      return;
    }
    case ReportDestination::rdPrinter:
      needDialogs().print(doc, job);
      return;
    case ReportDestination::rdFile: {
      if (choice.fileFormat.isEmpty() && sys.DoNativeOutput())
        choice.fileFormat = kSnapshotFormat;
      const ReportRenderer* renderer = nullptr;
      for (const ReportRenderer* r : renderers_)
        if (r->DisplayName() == choice.fileFormat) renderer = r;
      if (!renderer && !sys.DoNativeOutput() && sys.RenderObject() &&
          sys.RenderObject()->DisplayName() == choice.fileFormat)
        renderer = sys.RenderObject();
      if (!renderer)
        throw Error(QStringLiteral("The output format \"%1\" is not available; choose \"Adobe "
                                   "Acrobat (PDF)\", \"Web Page (HTML)\" or \"Plain Text (TXT)\"")
                        .arg(choice.fileFormat.isEmpty() ? QStringLiteral("(none)") : choice.fileFormat));
      QString file = choice.fileName;
      if (file.isEmpty()) throw Error(QStringLiteral("No output file name is given"));
      if (QFileInfo(env_.drives.toHost(file)).suffix().isEmpty())
        file += u'.' + renderer->defaultSuffix();
      writeFile(doc, *renderer, file, choice.fromPage, choice.toPage, sys);
      return;
    }
  }
}

void RvProject::writeFile(const ReportDocument& doc, const ReportRenderer& renderer,
                          const QString& file, int fromPage, int toPage, const RvSystem& sys) {
  std::unique_ptr<ReportStatus> status;
  if (sys.Options.testFlag(soShowStatus) && env_.dialogs)
    status = env_.dialogs->openStatus(sys.TitleStatus);
  const QByteArray bytes = renderer.render(doc, fromPage, toPage, [&](int page) {
    if (status) status->setText(statusText(sys.StatusFormat, page));
  });
  // Written whole or not at all; an existing file is replaced without a question.
  const QString host = env_.drives.toHost(file);
  auto fail = [&](const QString& reason) {
    throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(file, reason));
  };
  const QFileInfo info(host);
  if (!info.absoluteDir().exists()) fail(QString::fromLocal8Bit(std::strerror(ENOENT)));
  if (info.isDir()) fail(QString::fromLocal8Bit(std::strerror(EISDIR)));
  QSaveFile out(host);
  if (!out.open(QIODevice::WriteOnly)) fail(out.errorString());
  if (out.write(bytes) != bytes.size()) fail(out.errorString());
  if (!out.commit()) fail(out.errorString());
}

}  // namespace velta
