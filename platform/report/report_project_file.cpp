#include "platform/report/report_project_file.h"

#include <QRegularExpression>
#include <QSizeF>
#include <QStringList>

#include "platform/error.h"

namespace velta {

namespace {

[[noreturn]] void fail(const QString& file, int line, const QString& what) {
  throw Error(QStringLiteral("Report project \"%1\", line %2: %3").arg(file).arg(line).arg(what));
}

QPageSize parsePage(const QString& v, bool* ok) {
  *ok = true;
  const QString p = v.trimmed().toLower();
  if (p == u"a4") return QPageSize(QPageSize::A4);
  if (p == u"a5") return QPageSize(QPageSize::A5);
  if (p == u"a3") return QPageSize(QPageSize::A3);
  if (p == u"letter") return QPageSize(QPageSize::Letter);
  if (p == u"legal") return QPageSize(QPageSize::Legal);
  static const QRegularExpression custom(QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*x\\s*(\\d+(?:\\.\\d+)?)$"));
  const auto m = custom.match(p);
  if (m.hasMatch()) {
    const double w = m.captured(1).toDouble(), h = m.captured(2).toDouble();
    if (w >= 20 && h >= 20 && w <= 2000 && h <= 2000)
      return QPageSize(QSizeF(w, h), QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
  }
  *ok = false;
  return {};
}

// "fixed N" -> N, "general" -> -1; false when malformed.
bool parseNumberFormat(const QString& v, int* decimals) {
  const QStringList parts = v.simplified().toLower().split(u' ');
  if (parts.size() == 1 && parts[0] == u"general") { *decimals = -1; return true; }
  if (parts.size() == 2 && parts[0] == u"fixed") {
    bool ok = false;
    const int n = parts[1].toInt(&ok);
    if (ok && n >= 0 && n <= 9) { *decimals = n; return true; }
  }
  return false;
}

void setKey(ReportDefinition& r, const QString& key, const QString& value, const QString& file,
            int line) {
  const QString k = key.toLower();
  bool ok = true;
  if (k == u"page") {
    r.pageSize = parsePage(value, &ok);
    if (!ok) fail(file, line, QStringLiteral("unknown page size \"%1\"").arg(value));
  } else if (k == u"orientation") {
    const QString o = value.toLower();
    if (o == u"portrait") r.orientation = QPageLayout::Portrait;
    else if (o == u"landscape") r.orientation = QPageLayout::Landscape;
    else fail(file, line, QStringLiteral("orientation must be portrait or landscape"));
  } else if (k == u"margins") {
    const QStringList parts = value.simplified().split(u' ');
    std::vector<double> mm;
    for (const QString& p : parts) {
      const double d = p.toDouble(&ok);
      if (!ok || d < 0 || d > 100) fail(file, line, QStringLiteral("bad margin \"%1\"").arg(p));
      mm.push_back(d);
    }
    if (mm.size() == 1) r.marginsMm = QMarginsF(mm[0], mm[0], mm[0], mm[0]);
    else if (mm.size() == 4) r.marginsMm = QMarginsF(mm[3], mm[0], mm[1], mm[2]);
    else fail(file, line, QStringLiteral("margins take one or four values (top right bottom left)"));
  } else if (k == u"font") {
    const int comma = value.lastIndexOf(u',');
    const double size = comma < 0 ? 0 : value.mid(comma + 1).trimmed().toDouble(&ok);
    if (comma < 0 || !ok || size < 4 || size > 72 || value.left(comma).trimmed().isEmpty())
      fail(file, line, QStringLiteral("font must be \"<family>, <size in points>\""));
    r.fontFamily = value.left(comma).trimmed();
    r.fontPointSize = size;
  } else if (k == u"date-format") {
    r.dateFormat = value;
  } else if (k == u"time-format") {
    r.timeFormat = value;
  } else if (k == u"number-format") {
    if (!parseNumberFormat(value, &r.decimals))
      fail(file, line, QStringLiteral("number format must be \"fixed <0-9>\" or \"general\""));
  } else if (k.startsWith(u"number-format.") && k.size() > 14) {
    int d = -1;
    if (!parseNumberFormat(value, &d))
      fail(file, line, QStringLiteral("number format must be \"fixed <0-9>\" or \"general\""));
    r.fieldDecimals.insert(key.mid(14).toLower(), d);
  } else if (k == u"decimal-separator") {
    if (value == u"," || value == u".") r.decimalSeparator = value[0];
    else if (value.toLower() == u"regional") r.decimalSeparator = QChar();
    else fail(file, line, QStringLiteral("decimal separator must be \",\", \".\" or regional"));
  } else {
    fail(file, line, QStringLiteral("unknown setting \"%1\"").arg(key));
  }
}

}  // namespace

QPageLayout ReportDefinition::pageLayout() const {
  return QPageLayout(pageSize, orientation, marginsMm, QPageLayout::Millimeter);
}

const ReportDefinition& ReportProjectDefinition::activeReport(const QString& displayName) const {
  if (reports.empty())
    throw Error(QStringLiteral("Report project \"%1\" holds no report").arg(displayName));
  for (const ReportDefinition& r : reports)
    if (r.name.compare(activeName, Qt::CaseInsensitive) == 0) return r;
  return reports.front();
}

QString reportProjectTooLarge(const QString& displayName, qint64 size) {
  return QStringLiteral("Report project \"%1\" is %2 bytes long; a report project may have at most %3 bytes")
      .arg(displayName).arg(size).arg(kMaxReportProjectBytes);
}

ReportProjectDefinition parseReportProject(const QString& text, const QString& file) {
  if (text.size() > kMaxReportProjectBytes) throw Error(reportProjectTooLarge(file, text.size()));
  ReportProjectDefinition project;
  enum class Section { None, Project, Report } section = Section::None;
  QString content = text;
  content.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const QStringList lines = content.split(u'\n');
  for (int i = 0; i < lines.size(); ++i) {
    const int lineNo = i + 1;
    const QString line = lines[i].trimmed();
    if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';')) continue;
    if (line.startsWith(u'[')) {
      if (!line.endsWith(u']')) fail(file, lineNo, QStringLiteral("section head without \"]\""));
      const QString head = line.mid(1, line.size() - 2).trimmed();
      if (head.compare(u"project", Qt::CaseInsensitive) == 0) {
        section = Section::Project;
      } else if (head.left(7).compare(u"report ", Qt::CaseInsensitive) == 0 &&
                 !head.mid(7).trimmed().isEmpty()) {
        ReportDefinition r;
        r.name = head.mid(7).trimmed();
        for (const ReportDefinition& other : project.reports)
          if (other.name.compare(r.name, Qt::CaseInsensitive) == 0)
            fail(file, lineNo, QStringLiteral("report \"%1\" is defined twice").arg(r.name));
        project.reports.push_back(std::move(r));
        section = Section::Report;
      } else {
        fail(file, lineNo, QStringLiteral("unknown section \"%1\"").arg(head));
      }
      continue;
    }
    const int eq = line.indexOf(u'=');
    if (eq <= 0) fail(file, lineNo, QStringLiteral("expected \"name = value\""));
    const QString key = line.left(eq).trimmed();
    const QString value = line.mid(eq + 1).trimmed();
    if (section == Section::Project) {
      if (key.compare(u"active", Qt::CaseInsensitive) != 0)
        fail(file, lineNo, QStringLiteral("unknown setting \"%1\"").arg(key));
      project.activeName = value;
    } else if (section == Section::Report) {
      ReportDefinition& r = project.reports.back();
      if (key.compare(u"template", Qt::CaseInsensitive) == 0) {
        if (!value.startsWith(QStringLiteral("<<")) || value.mid(2).trimmed().isEmpty())
          fail(file, lineNo, QStringLiteral("template must start with \"template = <<END\""));
        const QString marker = value.mid(2).trimmed();
        QStringList body;
        int j = i + 1;
        for (; j < lines.size() && lines[j].trimmed() != marker; ++j) body << lines[j];
        if (j == lines.size())
          fail(file, lineNo, QStringLiteral("template not closed by a line \"%1\"").arg(marker));
        r.templateText = body.join(u'\n');
        r.templateLine = lineNo + 1;
        i = j;
      } else {
        setKey(r, key, value, file, lineNo);
      }
    } else {
      fail(file, lineNo, QStringLiteral("setting outside a section"));
    }
  }
  if (project.reports.empty()) fail(file, lines.size(), QStringLiteral("no [report ...] section"));
  for (const ReportDefinition& r : project.reports)
    if (r.templateText.trimmed().isEmpty())
      throw Error(QStringLiteral("Report project \"%1\": report \"%2\" has no template")
                      .arg(file, r.name));
  return project;
}

}  // namespace velta
