// The view of TBrowseDlg "Opc Browser": the address space with the item properties, the
// edit field and the list of identifiers the operator collects. Made for one showing of
// the dialog, while the form's browser is bound to the client.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QListWidget>

#include "dialogs/opc_browse_dlg.h"
#include "gui/opc_browser_view.h"

namespace tarvedde {

class BrowseDlgView final : public QDialog {
public:
    BrowseDlgView(TBrowseDlg& form, Operator& op, QWidget* parent = nullptr);

private:
    template <typename Handler>
    void Run(Handler handler) {
        handler();
        Refresh();
    }
    void Refresh();

    TBrowseDlg& form_;
    OpcBrowserView* browser_;
    QLineEdit* e1_;
    QListWidget* lb1_;
};

}  // namespace tarvedde
