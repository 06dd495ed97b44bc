#include "app/values_table_model.h"

namespace qrt::app {

namespace {

QDateTime toQDateTime(const common::Timestamp& t) {
    return QDateTime::fromMSecsSinceEpoch(t.utcMilliseconds);  // shown in local time
}

QString ageText(qint64 seconds) {
    if (seconds < 0) {
        return "-";  // the clock went back since the value came
    }
    if (seconds < 120) {
        return QString("%1 s").arg(seconds);
    }
    if (seconds < 7200) {
        return QString("%1 min").arg(seconds / 60);
    }
    return QString("%1 h").arg(seconds / 3600);
}

}  // namespace

ValuesTableModel::ValuesTableModel(values::ValueHistory& history, QObject* parent)
    : QAbstractTableModel(parent), history_(history) {}

QString ValuesTableModel::valueText(const values::Series& series, double value) {
    return series.scaled ? QString::number(value, 'f', 2) : QString::number(value, 'f', 0);
}

void ValuesTableModel::refresh(const QDateTime& now) {
    now_ = now;
    const values::ValueHistory::Changes changes = history_.takeChanges();
    const int size = static_cast<int>(history_.size());
    if (changes.cleared) {
        beginResetModel();
        rows_ = size;
        endResetModel();
        return;
    }
    for (const std::size_t row : changes.updated) {
        const int at = static_cast<int>(row);
        emit dataChanged(index(at, Value), index(at, Max));
    }
    if (rows_ > 0) {
        emit dataChanged(index(0, Age), index(rows_ - 1, Age));
    }
    if (size > rows_) {
        beginInsertRows({}, rows_, size - 1);
        rows_ = size;
        endInsertRows();
    }
}

int ValuesTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int ValuesTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ValuesTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ ||
        (role != Qt::DisplayRole && role != kSortRole && role != Qt::TextAlignmentRole)) {
        return {};
    }
    const values::Series& s = history_.at(static_cast<std::size_t>(index.row()));
    const int column = index.column();
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == Value || column >= Age;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    const bool sorting = role == kSortRole;
    const QDateTime updated = toQDateTime(s.lastTime);
    switch (column) {
        case Module:
            return QString::fromStdString(s.source.text());
        case Channel:
            return QString::fromStdString(s.channel);
        case Value:
            return sorting ? QVariant(s.last) : QVariant(valueText(s, s.last));
        case Unit:
            return QString::fromUtf8(receive::unitText(s.unit).data(),
                                     static_cast<qsizetype>(receive::unitText(s.unit).size()));
        case Updated:
            return sorting ? QVariant(updated) : QVariant(updated.toString("dd.MM.yyyy HH:mm:ss"));
        case Age: {
            const qint64 seconds = updated.secsTo(now_);
            return sorting ? QVariant(seconds) : QVariant(ageText(seconds));
        }
        case Count:
            return QVariant::fromValue(s.count);
        case Min:
            return sorting ? QVariant(s.min) : QVariant(valueText(s, s.min));
        case Max:
            return sorting ? QVariant(s.max) : QVariant(valueText(s, s.max));
        default:
            return {};
    }
}

QVariant ValuesTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    static const std::array<const char*, ColumnCount> kTitles{
        "Module", "Channel", "Value", "Unit", "Updated", "Age", "Count", "Min", "Max"};
    return section >= 0 && section < ColumnCount
               ? QString(kTitles[static_cast<std::size_t>(section)])
               : QVariant();
}

}  // namespace qrt::app
