// The views of TOpcBrowser and TOpcPropertyView side by side: the server's address space
// (a tree for a hierarchical space, a plain list for a flat one) and the properties of
// the item selected in it. The models must outlive the view.
#pragma once

#include <QLabel>
#include <QSplitter>
#include <QTreeWidget>
#include <vector>

#include "dialogs/opc_browser.h"
#include "platform/operator.h"

namespace tarvedde {

class OpcBrowserView final : public QSplitter {
public:
    // A server that refuses the property query is told through `op`.
    OpcBrowserView(TOpcBrowser& browser, TOpcPropertyView& properties, Operator& op,
                   QWidget* parent = nullptr);
    ~OpcBrowserView() override;
    OpcBrowserView(const OpcBrowserView&) = delete;
    OpcBrowserView& operator=(const OpcBrowserView&) = delete;

    QTreeWidget& Tree() { return *itb1_; }
    // The item's child indices from the root, as the browse dialog keeps its selection.
    static std::vector<int> PathOf(QTreeWidgetItem* item);

private:
    void RefreshTree();
    void RefreshProperties();
    void Select(QTreeWidgetItem* item);

    TOpcBrowser& browser_;
    TOpcPropertyView& properties_;
    Operator& op_;
    QTreeWidget* itb1_;
    QLabel* error_;
    QTreeWidget* propertyView_;
};

}  // namespace tarvedde
