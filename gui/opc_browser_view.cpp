#include "gui/opc_browser_view.h"

#include <QVBoxLayout>
#include <algorithm>
#include <exception>

#include "gui/form_widgets.h"

namespace tarvedde {
namespace {

void AddNodes(const std::vector<TOpcNode>& nodes, QTreeWidgetItem* parent, QTreeWidget& tree) {
    for (const TOpcNode& node : nodes) {
        auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(&tree);
        item->setText(0, ToQt(node.text));
        item->setToolTip(0, ToQt(node.itemId));
        AddNodes(node.children, item, tree);
    }
}

}  // namespace

OpcBrowserView::OpcBrowserView(TOpcBrowser& browser, TOpcPropertyView& properties, Operator& op,
                               QWidget* parent)
    : QSplitter(parent),
      browser_(browser),
      properties_(properties),
      op_(op),
      itb1_(new QTreeWidget),
      error_(new QLabel),
      propertyView_(new QTreeWidget) {
    itb1_->setObjectName("itb1");
    itb1_->setHeaderHidden(true);
    error_->setObjectName("itb1Error");
    error_->setWordWrap(true);
    auto* left = new QWidget;
    auto* column = new QVBoxLayout(left);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(itb1_);
    column->addWidget(error_);
    addWidget(left);

    propertyView_->setObjectName("PropertyView");
    propertyView_->setRootIsDecorated(false);
    propertyView_->setHeaderLabels(ToQtList(properties_.columns));
    addWidget(propertyView_);
    setStretchFactor(1, 1);
    setSizes({240, 560});

    connect(itb1_, &QTreeWidget::itemSelectionChanged, this,
            [this] { Select(itb1_->selectedItems().value(0)); });
    browser_.onChanged = [this] { RefreshTree(); };
    properties_.onChanged = [this] { RefreshProperties(); };
    RefreshTree();
    RefreshProperties();
}

OpcBrowserView::~OpcBrowserView() {
    browser_.onChanged = {};
    properties_.onChanged = {};
}

std::vector<int> OpcBrowserView::PathOf(QTreeWidgetItem* item) {
    std::vector<int> path;
    for (; item != nullptr; item = item->parent()) {
        QTreeWidgetItem* parent = item->parent();
        path.push_back(parent != nullptr ? parent->indexOfChild(item)
                                         : item->treeWidget()->indexOfTopLevelItem(item));
    }
    std::reverse(path.begin(), path.end());
    return path;
}

void OpcBrowserView::RefreshTree() {
    const QSignalBlocker blocker(itb1_);
    itb1_->clear();
    itb1_->setRootIsDecorated(!browser_.Flat());
    AddNodes(browser_.Nodes(), nullptr, *itb1_);
    itb1_->expandAll();
    error_->setText(ToQt(browser_.LastError()));
    error_->setVisible(!browser_.LastError().empty());
}

void OpcBrowserView::RefreshProperties() {
    propertyView_->clear();
    for (const TOpcPropertyView::Row& row : properties_.rows) {
        propertyView_->addTopLevelItem(new QTreeWidgetItem(
            {ToQt(row.id), ToQt(row.description), ToQt(row.type), ToQt(row.value)}));
    }
    // The model's widths are the least; a vendor's property ids and time stamps need more.
    const int widths[] = {properties_.ColWidthID, properties_.ColWidthDesc,
                          properties_.ColWidthDatatype, properties_.ColWidthValue};
    for (int i = 0; i < 4; ++i) {
        propertyView_->resizeColumnToContents(i);
        propertyView_->setColumnWidth(i, std::max(widths[i], propertyView_->columnWidth(i)));
    }
}

void OpcBrowserView::Select(QTreeWidgetItem* item) {
    const std::vector<TOpcNode>* level = &browser_.Nodes();
    const TOpcNode* node = nullptr;
    for (const int index : PathOf(item)) {
        if (index < 0 || static_cast<std::size_t>(index) >= level->size()) {
            return;
        }
        node = &(*level)[static_cast<std::size_t>(index)];
        level = &node->children;
    }
    if (node == nullptr) {
        return;
    }
    try {
        browser_.Select(*node);
    } catch (const std::exception& error) {
        op_.ShowMessage(error.what());
    }
}

}  // namespace tarvedde
