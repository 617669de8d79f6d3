#include "dialogs/opc_session_dialogs.h"

namespace tarvedde {

bool OpcSessionDialogs::SelectServer(TOpcSimpleClient& client) {
    TServerSelectDlg dialog(main_.GetHost().op);
    try {
        return dialog.Execute(client, [this](TServerSelectDlg& shown) {
            return showServerSelect ? showServerSelect(shown) : false;
        });
    } catch (const EAbort&) {
        return false;
    }
}

void OpcSessionDialogs::Browse(TOpcSimpleClient& client) {
    TBrowseDlg dialog(main_);
    dialog.Execute(client, showBrowser);
}

}  // namespace tarvedde
