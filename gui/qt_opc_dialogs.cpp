#include "gui/qt_opc_dialogs.h"

#include "gui/browse_dlg_view.h"
#include "gui/server_select_view.h"

namespace tarvedde {

QtOpcDialogs::QtOpcDialogs(TarveddeMain& main, QWidget* parent) : dialogs_(main) {
    dialogs_.showServerSelect = [parent](TServerSelectDlg& form) {
        ServerSelectView view(form, parent);
        return view.exec() == QDialog::Accepted;
    };
    dialogs_.showBrowser = [parent, &op = main.GetHost().op](TBrowseDlg& form) {
        BrowseDlgView view(form, op, parent);
        view.exec();
    };
}

}  // namespace tarvedde
