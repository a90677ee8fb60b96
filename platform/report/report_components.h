#pragma once
// The report engine's components as the main window holds them: the output system
// (RvSystem), the data connection (RvDataSetConnection) and the project (RvProject),
// which loads the project file and executes its active report. Every change of a
// setting and every operation is reported to `trace` (when set) as
// "<Component>.<Setting>=<value>" or "<Component>.<Operation>", so the order of steps
// can be followed. Paths are Windows paths mapped through the DriveMap. UI thread.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "platform/drive_map.h"
#include "platform/report/report_data.h"
#include "platform/report/report_dialogs.h"
#include "platform/report/report_project_file.h"
#include "platform/report/report_renderers.h"
#include "platform/report/report_settings.h"

namespace velta {

using ReportTrace = std::function<void(const QString&)>;

QString destinationName(ReportDestination d);  // "rdPreview", ...

class RvSystem {
 public:
  explicit RvSystem(QString name = QStringLiteral("RvSystem1")) : name_(std::move(name)) {}
  const QString& Name() const { return name_; }
  ReportTrace trace;

  QString TitleSetup = QStringLiteral("Output Options");
  QString TitleStatus = QStringLiteral("Report Status");
  QString TitlePreview = QStringLiteral("Report Preview");
  QString StatusFormat = QStringLiteral("Generating page %p");
  QString StatusPrinting = QStringLiteral("Printing page %p");
  QString JobTitle = QStringLiteral("ReportPrinter Report");
  int PreviewZoom = 100;        // percent
  int PrinterScaleX = 100;      // percent
  int PrinterScaleY = 100;      // percent
  SystemOptions Options = soShowStatus | soAllowPrintFromPreview | soPreviewModal;

  ReportDestination DefaultDest() const { return defaultDest_; }
  void setDefaultDest(ReportDestination d);
  SetupPermissions SystemSetups() const { return setups_; }
  void setSystemSetups(SetupPermissions s);
  bool DoNativeOutput() const { return nativeOutput_; }
  void setDoNativeOutput(bool on);
  ReportRenderer* RenderObject() const { return renderer_; }
  void setRenderObject(ReportRenderer* r);  // not owned
  const QString& OutputFileName() const { return outputFileName_; }
  void setOutputFileName(const QString& windowsPath);

 private:
  void note(const QString& s) const { if (trace) trace(name_ + u'.' + s); }
  QString name_;
  ReportDestination defaultDest_ = ReportDestination::rdPreview;
  SetupPermissions setups_ = kAllSetupPermissions;
  bool nativeOutput_ = true;
  ReportRenderer* renderer_ = nullptr;
  QString outputFileName_;
};

class RvDataSetConnection {
 public:
  explicit RvDataSetConnection(QString name = QStringLiteral("RvDataSetConnection1"))
      : name_(std::move(name)) {}
  const QString& Name() const { return name_; }
  enum RuntimeVisibilityKind { rtNone, rtDeveloper, rtEndUser };
  RuntimeVisibilityKind RuntimeVisibility = rtDeveloper;
  ReportDataSource* DataSet() const { return dataSet_; }
  void setDataSet(ReportDataSource* source) { dataSet_ = source; }  // not owned
  // The record for this run; raises Error when no data set is connected.
  ReportRecord record() const;

 private:
  QString name_;
  ReportDataSource* dataSet_ = nullptr;
};

struct ReportEnvironment {
  DriveMap drives;
  QChar decimalSeparator;              // the user's regional one
  ReportDialogs* dialogs = nullptr;    // needed for the dialog, status, preview, printer
};

class RvProject {
 public:
  RvProject(QString name, ReportEnvironment env);
  ~RvProject();
  const QString& Name() const { return name_; }
  ReportTrace trace;

  void setEnvironment(ReportEnvironment env) { env_ = std::move(env); }
  ReportEnvironment& environment() { return env_; }
  void addConnection(RvDataSetConnection* c) { connections_.push_back(c); }  // not owned
  void addRenderer(ReportRenderer* r) { renderers_.push_back(r); }          // not owned

  const QString& ProjectFile() const { return projectFile_; }
  void setProjectFile(const QString& windowsPath);
  RvSystem* Engine() const { return engine_; }
  void setEngine(RvSystem* system);  // not owned; nullptr unsets
  bool isOpen() const { return project_ != nullptr; }
  bool hasStoredProject() const { return !storedProject_.isEmpty(); }
  // A project kept with the component (used by execute when no file is set).
  void setStoredProject(const QString& text) { storedProject_ = text; }

  void Close();
  void ClearStoredProject();

  // Loads the project file when closed and runs its active report on Engine; when
  // Engine is unset on an output system made for this run (the output-options dialog
  // first, preview preselected). Returns when the output is written, the dialog
  // cancelled or the preview closed. Errors:
  //   "The following reporting project does not exist:\r"<ProjectFile>""
  //   "Cannot create file "<file>". <reason>"
  //   and the project file's and the data connections' own errors.
  void Execute();
  // As Execute on an output system made for this run, whatever Engine is.
  void ExecuteOnOwnSystem();

  // The project loaded by the last execute (nullptr when closed).
  const ReportProjectDefinition* project() const { return project_.get(); }

 private:
  void note(const QString& s) const { if (trace) trace(name_ + u'.' + s); }
  void open();
  void run(RvSystem& system);
  void writeFile(const ReportDocument& doc, const ReportRenderer& renderer, const QString& file,
                 int fromPage, int toPage, const RvSystem& system);

  QString name_;
  ReportEnvironment env_;
  QString projectFile_;
  QString storedProject_;
  RvSystem* engine_ = nullptr;
  std::unique_ptr<ReportProjectDefinition> project_;
  std::vector<RvDataSetConnection*> connections_;
  std::vector<ReportRenderer*> renderers_;
};

}  // namespace velta
