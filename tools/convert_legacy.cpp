// velta-convert-legacy: the previous station program's daily files into a data folder of
// this station (see legacy_conversion.h). Exit status 0 when every file was converted or
// skipped, 1 when a file was refused or FOLDER cannot be made, 2 for wrong usage.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include "tools/legacy_conversion.h"

namespace {

const char* const kUsage =
    "usage: velta-convert-legacy --into FOLDER FILE_OR_FOLDER...\n"
    "Converts daily files of the previous station program (Paradox tables) into data files\n"
    "of this station, each under its own name in FOLDER (made when missing). A folder\n"
    "argument stands for its files whose names end in .tkv, in name order. Files are told\n"
    "by their contents. Sources are only read; a file in FOLDER is never replaced; a file\n"
    "already in the new format is skipped. One line per file on stdout: converted, skipped\n"
    "or refused, with the reason. Exit status 1 when a file was refused, 2 for wrong usage.\n";

int wrongUsage(QTextStream& err, const QString& what) {
  err << "velta-convert-legacy: " << what << '\n' << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTextStream out(stdout);
  QTextStream err(stderr);

  QString into;
  bool intoGiven = false;
  QStringList sources;
  const QStringList args = app.arguments().mid(1);
  bool optionsEnded = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (optionsEnded || !a.startsWith(u'-') || a == QStringLiteral("-")) {
      sources << a;
    } else if (a == QStringLiteral("--")) {
      optionsEnded = true;
    } else if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
      out << kUsage;
      return 0;
    } else if (a == QStringLiteral("--into")) {
      if (intoGiven) return wrongUsage(err, QStringLiteral("--into given twice"));
      if (i + 1 >= args.size() || args[i + 1].isEmpty()) return wrongUsage(err, QStringLiteral("--into needs a folder"));
      into = args[++i];
      intoGiven = true;
    } else {
      return wrongUsage(err, QStringLiteral("unknown option '%1'").arg(a));
    }
  }
  if (!intoGiven) return wrongUsage(err, QStringLiteral("no --into FOLDER"));
  if (sources.isEmpty()) return wrongUsage(err, QStringLiteral("no file or folder to convert"));

  if (QFileInfo(into).exists() && !QFileInfo(into).isDir()) {
    err << "velta-convert-legacy: '" << into << "' is not a folder\n";
    return 1;
  }
  if (!QDir().mkpath(into)) {
    err << "velta-convert-legacy: cannot make the folder '" << into << "'\n";
    return 1;
  }

  bool refused = false;
  for (const QString& argument : sources) {
    const QStringList files = velta::conversion::SourceFiles(argument);
    if (files.isEmpty()) err << "velta-convert-legacy: no .tkv file in '" << argument << "'\n";
    for (const QString& file : files) {
      const velta::conversion::FileOutcome outcome = velta::conversion::ConvertFile(file, into);
      for (const QString& problem : outcome.problems) err << file << ": " << problem << '\n';
      err.flush();
      out << velta::conversion::OutcomeLine(outcome) << '\n';
      out.flush();
      refused = refused || outcome.kind == velta::conversion::FileOutcome::Kind::Refused;
    }
  }
  return refused ? 1 : 0;
}
