#pragma once

#include <QAbstractTableModel>
#include <QDateTime>

#include "values/value_history.h"

namespace qrt::app {

/// The values window's table: one row per module and channel of the history, with its
/// last value, unit, time of the last update, age, count, minimum and maximum. The
/// sort role gives numbers, so numeric columns sort as numbers.
class ValuesTableModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { Module, Channel, Value, Unit, Updated, Age, Count, Min, Max, ColumnCount };
    static constexpr int kSortRole = Qt::UserRole;

    explicit ValuesTableModel(values::ValueHistory& history, QObject* parent = nullptr);

    /// Takes the history's changes since the last refresh (rows added, updated, all
    /// cleared) and the new ages, as of `now` (local time).
    void refresh(const QDateTime& now);

    [[nodiscard]] int rowCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role) const override;

    /// The text of a value as the decoders show it.
    [[nodiscard]] static QString valueText(const values::Series& series, double value);

  private:
    values::ValueHistory& history_;
    int rows_ = 0;
    QDateTime now_;
};

}  // namespace qrt::app
