#include "app/values_window.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "app/plot_legend.h"
#include "app/values_plot.h"
#include "app/values_table_model.h"
#include "app/window_place.h"
#include "ui/dialogs.h"
#include "ui/save_file.h"
#include "values/value_writer.h"

namespace qrt::app {

namespace {

constexpr const char* kSection = "Values";

QString csvField(const QString& text) {
    std::string field;
    values::appendCsvField(field, text.toStdString());
    return QString::fromStdString(field);
}

}  // namespace

ValuesWindow::ValuesWindow(ValuesWindowServices services, QWidget* parent)
    : QWidget(parent, Qt::Window),
      services_(std::move(services)),
      model_(new ValuesTableModel(services_.history, this)),
      sorted_(new QSortFilterProxyModel(this)),
      moduleFilter_(new QLineEdit),
      table_(new QTableView),
      plot_(new ValuesPlot(services_.history)),
      legend_(new PlotLegend),
      plotArea_(new QWidget) {
    setObjectName("ValuesWindow");
    setWindowTitle("Werte");
    resize(900, 640);
    setUpTable();
    setUpPlot();
    auto* splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(tablePane());
    splitter->addWidget(plotPane());
    splitter->setStretchFactor(1, 2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(splitter);
}

QPushButton* ValuesWindow::button(const char* name, const char* caption,
                                  const std::function<void()>& handler) {
    auto* b = new QPushButton(caption);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, handler);
    return b;
}

void ValuesWindow::setUpTable() {
    sorted_->setSourceModel(model_);
    sorted_->setSortRole(ValuesTableModel::kSortRole);
    sorted_->setFilterKeyColumn(ValuesTableModel::Module);
    sorted_->setFilterCaseSensitivity(Qt::CaseInsensitive);
    moduleFilter_->setObjectName("ValuesModuleFilter");
    moduleFilter_->setPlaceholderText("Module, e.g. 5.1234");
    moduleFilter_->setClearButtonEnabled(true);
    connect(moduleFilter_, &QLineEdit::textChanged, sorted_,
            &QSortFilterProxyModel::setFilterFixedString);

    table_->setObjectName("ValuesTable");
    table_->setModel(sorted_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(ValuesTableModel::Module, Qt::AscendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setWordWrap(false);
    table_->horizontalHeader()->setStretchLastSection(false);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ValuesWindow::plotSelection);
    // A cleared table drops the selection without a selection signal.
    connect(sorted_, &QAbstractItemModel::modelReset, this, &ValuesWindow::plotSelection);
}

void ValuesWindow::setUpPlot() {
    plot_->setObjectName("ValuesPlot");
    plot_->setMinimumHeight(220);
    connect(plot_, &ValuesPlot::linesChanged, legend_,
            [this] { legend_->showEntries(plot_->legendEntries()); });
    auto* plotWithLegend = new QHBoxLayout(plotArea_);
    plotWithLegend->setContentsMargins(0, 0, 0, 0);
    plotWithLegend->addWidget(plot_, 1);
    plotWithLegend->addWidget(legend_);
}

QWidget* ValuesWindow::tablePane() {
    auto* tools = new QHBoxLayout;
    tools->addWidget(new QLabel("Module"));
    tools->addWidget(moduleFilter_, 1);
    tools->addWidget(button("ValuesCopy", "Copy", [this] { copyTable(); }));
    tools->addWidget(button("ValuesSaveCsv", "Save CSV", [this] { saveTable(); }));
    tools->addWidget(button("ValuesClear", "Clear", [this] { clearValues(); }));
    auto* top = new QWidget;
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addLayout(tools);
    topLayout->addWidget(table_, 1);
    return top;
}

QWidget* ValuesWindow::plotPane() {
    auto* plotTools = new QHBoxLayout;
    auto* note = new QLabel(
        "Select rows to plot them. Wheel or rubber band: zoom; right button or arrow keys: pan. "
        "Each series keeps its newest 100,000 points.");
    note->setWordWrap(true);
    plotTools->addWidget(note, 1);
    plotTools->addWidget(button("ValuesResetZoom", "Reset", [this] { plot_->resetZoom(); }));
    plotTools->addWidget(button("ValuesSavePng", "Save as PNG", [this] { savePlot(); }));
    auto* bottom = new QWidget;
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addWidget(plotArea_, 1);
    bottomLayout->addLayout(plotTools);
    return bottom;
}

ValuesWindow::~ValuesWindow() = default;

void ValuesWindow::pollFinished() {
    if (isVisible()) {
        refresh();
    }
}

void ValuesWindow::refresh() {
    const int rowsBefore = model_->rowCount();
    model_->refresh(QDateTime::currentDateTime());
    if (rowsBefore == 0 && model_->rowCount() > 0) {
        table_->resizeColumnsToContents();  // once, not at every poll: it reads every cell
    }
    plot_->refresh();
}

void ValuesWindow::plotSource(const receive::ValueSource& source) {
    if (isVisible()) {
        refresh();  // a hidden window refreshes as it is shown
    } else {
        show();
    }
    raise();
    moduleFilter_->setText(QString::fromStdString(source.text()));
    table_->clearSelection();
    QItemSelection rows;
    for (std::size_t row = 0; row < services_.history.size(); ++row) {
        if (services_.history.at(row).source == source) {
            const QModelIndex at = sorted_->mapFromSource(model_->index(static_cast<int>(row), 0));
            rows.select(at, at);
        }
    }
    table_->selectionModel()->select(
        rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ValuesWindow::plotSelection() {
    std::vector<std::size_t> rows;
    for (const QModelIndex& at : table_->selectionModel()->selectedRows()) {
        rows.push_back(static_cast<std::size_t>(sorted_->mapToSource(at).row()));
    }
    std::sort(rows.begin(), rows.end());
    plot_->setRows(std::move(rows));
}

void ValuesWindow::clearValues() {
    table_->clearSelection();
    services_.history.clear();
    refresh();
#ifdef __GLIBC__
    // The points lived in many small blocks, which the allocator keeps for reuse; hand the
    // free pages back, so Clear shows in the memory the program holds.
    malloc_trim(0);
#endif
}

QString ValuesWindow::tableText(QChar separator, bool quoted) const {
    QString text;
    for (int column = 0; column < sorted_->columnCount(); ++column) {
        const QString title = sorted_->headerData(column, Qt::Horizontal).toString();
        text += (column > 0 ? QString(separator) : QString()) + (quoted ? csvField(title) : title);
    }
    text += quoted ? "\r\n" : "\n";
    for (int row = 0; row < sorted_->rowCount(); ++row) {
        for (int column = 0; column < sorted_->columnCount(); ++column) {
            const QString cell = sorted_->index(row, column).data().toString();
            text +=
                (column > 0 ? QString(separator) : QString()) + (quoted ? csvField(cell) : cell);
        }
        text += quoted ? "\r\n" : "\n";
    }
    return text;
}

void ValuesWindow::copyTable() {
    QApplication::clipboard()->setText(tableText('\t', false));
}

void ValuesWindow::saveTable() {
    const auto chosen = services_.dialogs.saveFile(this, "values.csv", "CSV|*.csv", "csv");
    if (!chosen) {
        return;
    }
    ui::saveFile(services_.dialogs, this, "Werte", *chosen, tableText(',', true).toStdString());
}

void ValuesWindow::savePlot() {
    const auto chosen = services_.dialogs.saveFile(this, "values.png", "PNG|*.png", "png");
    if (!chosen) {
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    plotArea_->grab().save(&buffer, "PNG");
    ui::saveFile(services_.dialogs, this, "Werte", *chosen,
                 std::string_view(png.data(), png.size()));
}

void ValuesWindow::setVisible(bool visible) {
    // Placed before it is shown, so the window manager puts its frame there: a window
    // moved once it is shown lands a title bar's height off.
    if (visible && !geometryRestored_) {
        geometryRestored_ = true;
        restorePlace(*this, services_.settingsPath(), kSection);
    }
    QWidget::setVisible(visible);
}

void ValuesWindow::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

void ValuesWindow::hideEvent(QHideEvent* event) {
    savePlace(*this, services_.settingsPath(), kSection);
    QWidget::hideEvent(event);
}

}  // namespace qrt::app
