#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "receive/measurement.h"
#include "values/value_history.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

namespace qrt::ui {
class Dialogs;
}

namespace qrt::app {

class PlotLegend;
class ValuesPlot;
class ValuesTableModel;

/// What the values window is given by the program entry.
struct ValuesWindowServices {
    values::ValueHistory& history;
    ui::Dialogs& dialogs;
    /// The settings file, where the window keeps its place and size.
    std::function<std::string()> settingsPath;
};

/// The values window: a table of every module's channels with their last value, age,
/// count, minimum and maximum, filtered by module and sortable, and a plot of the
/// selected rows over time. It is updated once per poll, and only while it is shown.
class ValuesWindow final : public QWidget {
    Q_OBJECT

  public:
    explicit ValuesWindow(ValuesWindowServices services, QWidget* parent = nullptr);
    ~ValuesWindow() override;

    /// A poll has ended: the table and the plot take the new values.
    void pollFinished();
    /// Shows the window with the series of one source selected and plotted.
    void plotSource(const receive::ValueSource& source);
    /// Takes the saved place before the window is first shown.
    void setVisible(bool visible) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void setUpTable();
    void setUpPlot();
    /// The table with its tools above it, and the plot with its legend and tools below.
    QWidget* tablePane();
    QWidget* plotPane();
    QPushButton* button(const char* name, const char* caption,
                        const std::function<void()>& handler);
    void refresh();
    void plotSelection();
    void copyTable();
    void saveTable();
    void savePlot();
    void clearValues();
    [[nodiscard]] QString tableText(QChar separator, bool quoted) const;

    ValuesWindowServices services_;
    ValuesTableModel* model_;
    QSortFilterProxyModel* sorted_;
    QLineEdit* moduleFilter_;
    QTableView* table_;
    ValuesPlot* plot_;
    PlotLegend* legend_;
    QWidget* plotArea_;  // the plot with its legend, as "Save as PNG" saves it
    bool geometryRestored_ = false;
};

}  // namespace qrt::app
