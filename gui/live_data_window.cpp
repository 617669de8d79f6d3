#include "gui/live_data_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

namespace tarvedde {

LiveDataWindow::LiveDataWindow(LiveGrid& grid, TFo_Echtdaten& form, QWidget* parent)
    : QWidget(parent, Qt::Window),
      grid_(grid),
      form_(form),
      grEcht_(new QTableWidget),
      spPR_(new QSpinBox),
      spNK_(new QSpinBox) {
    setWindowTitle("Echtzeit-Daten");
    grEcht_->setObjectName("grEcht");
    grEcht_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grEcht_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grEcht_->horizontalHeader()->hide();
    grEcht_->verticalHeader()->hide();
    grEcht_->verticalHeader()->setDefaultSectionSize(18);
    spPR_->setObjectName("spPR");
    spPR_->setRange(8, 18);
    spNK_->setObjectName("spNK");
    spNK_->setRange(0, 10);

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel("Genauigkeit"));
    controls->addWidget(spPR_);
    controls->addWidget(new QLabel("Nachkommastellen"));
    controls->addWidget(spNK_);
    controls->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(grEcht_, 1);
    resize(800, 560);

    connect(spPR_, &QSpinBox::valueChanged, this, [this](int value) { form_.spPRChange(value); });
    connect(spNK_, &QSpinBox::valueChanged, this, [this](int value) { form_.spNKChange(value); });
}

void LiveDataWindow::Refresh() {
    const LiveGrid& grid = grid_;
    bool captionsChanged = grEcht_->columnCount() != grid.ColumnCount();
    grEcht_->setColumnCount(grid.ColumnCount());
    grEcht_->setRowCount(grid.RowCount());
    for (int row = 0; row < grid.RowCount(); ++row) {
        for (int column = 0; column < grid.ColumnCount(); ++column) {
            const QString text = QString::fromStdString(grid.Cell(column, row));
            QTableWidgetItem* item = grEcht_->item(row, column);
            if (item == nullptr) {
                grEcht_->setItem(row, column, new QTableWidgetItem(text));
                captionsChanged = captionsChanged || row == 0;
            } else if (item->text() != text) {
                item->setText(text);
                captionsChanged = captionsChanged || row == 0;
            }
        }
    }
    // Widths follow the names and units, not every new value, so the columns do not jump
    // with each cycle.
    if (captionsChanged) {
        grEcht_->resizeColumnsToContents();
        FitWidthOnce();
    }
}

void LiveDataWindow::FitWidthOnce() {
    if (widthFitted_ || grEcht_->columnCount() == 0) {
        return;
    }
    widthFitted_ = true;
    int wanted = 2 * grEcht_->frameWidth() + grEcht_->verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < grEcht_->columnCount(); ++column) {
        wanted += grEcht_->columnWidth(column);
    }
    wanted += width() - grEcht_->width();
    int available = wanted;
    if (const QScreen* shown = screen(); shown != nullptr) {
        available = shown->availableGeometry().width();
    }
    resize(std::max(width(), std::min(wanted, available)), height());
}

void LiveDataWindow::showEvent(QShowEvent* event) {
    spPR_->setValue(form_.spPR);
    spNK_->setValue(form_.spNK);
    form_.FormShow();
    grid_.SetListener([this] { Refresh(); });
    Refresh();
    QWidget::showEvent(event);
}

void LiveDataWindow::closeEvent(QCloseEvent* event) {
    grid_.SetListener({});
    form_.FormClose();
    event->accept();
}

}  // namespace tarvedde
