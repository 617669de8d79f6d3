// The view of TServerSelectDlg "Select Server": the host's servers in four columns. Made
// for one showing of the dialog; OK closes only when the form accepts the selection.
#pragma once

#include <QDialog>
#include <QTreeWidget>

#include "dialogs/opc_server_select.h"

namespace tarvedde {

class ServerSelectView final : public QDialog {
public:
    explicit ServerSelectView(TServerSelectDlg& form, QWidget* parent = nullptr);

private:
    void btOKClick();

    TServerSelectDlg& form_;
    QTreeWidget* lvServers_;
};

}  // namespace tarvedde
