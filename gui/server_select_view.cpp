#include "gui/server_select_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/form_widgets.h"

namespace tarvedde {

ServerSelectView::ServerSelectView(TServerSelectDlg& form, QWidget* parent)
    : QDialog(parent), form_(form), lvServers_(new QTreeWidget) {
    setObjectName("ServerSelectDlg");
    setWindowTitle(ToQt(form_.caption));
    lvServers_->setObjectName("lvServers");
    lvServers_->setRootIsDecorated(false);
    lvServers_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvServers_->setColumnCount(static_cast<int>(form_.columns.size()));
    QStringList headers;
    int width = 0;
    for (const TServerSelectDlg::Column& column : form_.columns) {
        headers.push_back(ToQt(column.caption));
        width += column.width;
    }
    lvServers_->setHeaderLabels(headers);
    for (std::size_t i = 0; i < form_.columns.size(); ++i) {
        lvServers_->header()->resizeSection(static_cast<int>(i), form_.columns[i].width);
    }
    for (const TServerSelectDlg::Row& row : form_.lvServers) {
        lvServers_->addTopLevelItem(new QTreeWidgetItem(
            {ToQt(row.caption), ToQt(row.user), ToQt(row.daSupport), ToQt(row.vendor)}));
    }

    auto* ok = new QPushButton(ToQt(form_.btOK));
    ok->setObjectName("btOK");
    ok->setDefault(true);
    auto* cancel = new QPushButton(ToQt(form_.btCancel));
    cancel->setObjectName("btCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvServers_);
    layout->addLayout(buttons);
    resize(width + 40, 300);

    connect(ok, &QPushButton::clicked, this, [this] { btOKClick(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ServerSelectView::btOKClick() {
    form_.selected.clear();
    for (QTreeWidgetItem* item : lvServers_->selectedItems()) {
        form_.selected.push_back(lvServers_->indexOfTopLevelItem(item));
    }
    if (form_.btOKClick()) {
        accept();
    }
}

}  // namespace tarvedde
