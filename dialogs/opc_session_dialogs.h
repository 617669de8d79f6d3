// The OPC menu's dialogs for one session: the server selection and the browse dialog,
// each shown through the view's modal function. Without a view (headless, scenarios) a
// dialog closes at once as if cancelled.
#pragma once

#include <functional>

#include "dialogs/opc_browse_dlg.h"
#include "dialogs/opc_server_select.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class OpcSessionDialogs final : public OpcDialogs {
public:
    explicit OpcSessionDialogs(TarveddeMain& main) : main_(main) {}

    // True: closed with OK.
    std::function<bool(TServerSelectDlg&)> showServerSelect;
    std::function<void(TBrowseDlg&)> showBrowser;

    // A silent abort (active client, host without servers) shows nothing.
    bool SelectServer(TOpcSimpleClient& client) override;
    void Browse(TOpcSimpleClient& client) override;

private:
    TarveddeMain& main_;
};

}  // namespace tarvedde
