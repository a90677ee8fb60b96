#include "records/record_table_model.h"

#include <QColor>

namespace velta {

RecordTableModel::RecordTableModel(Dataset& dataset, QStringList titles, QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset), titles_(std::move(titles)), font_(GridFont()) {
  connect(&dataset_, &Dataset::aboutToReset, this, [this] { beginResetModel(); });
  connect(&dataset_, &Dataset::reset, this, [this] { endResetModel(); });
  connect(&dataset_, &Dataset::recordAboutToBeInserted, this, [this](int i) { beginInsertRows({}, i, i); });
  connect(&dataset_, &Dataset::recordInserted, this, [this](int) { endInsertRows(); });
  connect(&dataset_, &Dataset::recordAboutToBeRemoved, this, [this](int i) { beginRemoveRows({}, i, i); });
  connect(&dataset_, &Dataset::recordRemoved, this, [this](int) { endRemoveRows(); });
  connect(&dataset_, &Dataset::recordChanged, this, [this](int i) {
    if (i >= 0) emit dataChanged(index(i, 0), index(i, columnCount() - 1));
  });
}

QStringList RecordTableModel::DailyGridTitles() {
  return {QStringLiteral("SIRANO"),     QStringLiteral("SERiNO"),    QStringLiteral("HAVA (bar)"),
          QStringLiteral("PRES  (kg)"), QStringLiteral("EN   (cm)"), QStringLiteral("BOY  (cm)")};
}

QFont RecordTableModel::GridFont() {
  QFont f;
  f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                 QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(16);
  f.setBold(true);
  return f;
}

int RecordTableModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !dataset_.active()) return 0;
  return dataset_.recordCount();
}

int RecordTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : dataset_.fieldCount();
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || !dataset_.active()) return {};
  const FieldKind kind = dataset_.field(index.column()).kind;
  const bool isKey = kind == FieldKind::AutoInc;
  const bool isText = kind == FieldKind::Text;
  switch (role) {
    case Qt::DisplayRole:
      try {
        return dataset_.valueText(index.column(), dataset_.valueAt(index.row(), index.column()));
      } catch (const std::exception&) {
        return {};  // a read error shows as an empty cell; the operation that follows reports it
      }
    case Qt::FontRole: return font_;
    case Qt::ForegroundRole:
      return QColor(isKey ? QColor(255, 0, 0) : isText ? QColor(255, 255, 0) : QColor(0, 255, 0));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(isKey || isText ? Qt::Alignment(Qt::AlignCenter)
                                                 : Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    default: return {};
  }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return section < titles_.size() ? titles_[section] : dataset_.field(section).name;
    case Qt::FontRole: return font_;
    case Qt::ForegroundRole: return QColor(255, 255, 255);
    case Qt::BackgroundRole: return QColor(0, 64, 128);
    case Qt::TextAlignmentRole: return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default: return {};
  }
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

}  // namespace velta
