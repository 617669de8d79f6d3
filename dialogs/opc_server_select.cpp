// The server selection dialog; see opc_server_select.h.
#include "dialogs/opc_server_select.h"

namespace tarvedde {

std::string TServerSelectDlg::DaSupportText(const OpcServerInfo& server) {
    if (server.da1 && server.da2) {
        return "DA1, DA2";
    }
    return server.da1 ? "DA1" : server.da2 ? "DA2" : "";
}

bool TServerSelectDlg::Execute(TOpcSimpleClient& client,
                               const std::function<bool(TServerSelectDlg&)>& showModal) {
    if (client.Active()) {
        throw EAbort("Client cannot be active");
    }
    const std::vector<OpcServerInfo> servers = client.ServerList();
    if (servers.empty()) {
        throw EAbort("There are no servers on this host");
    }
    lvServers.clear();
    selected.clear();
    for (const OpcServerInfo& server : servers) {
        lvServers.push_back({server.progId, server.userType, DaSupportText(server), server.vendor});
    }
    if (!showModal(*this) || selected.size() != 1) {
        return false;
    }
    const auto line = static_cast<std::size_t>(selected.front());
    if (line >= lvServers.size()) {
        return false;
    }
    client.SetProgID(lvServers[line].caption);
    return true;
}

bool TServerSelectDlg::btOKClick() {
    if (selected.size() != 1) {
        operator_.ShowMessage("Please select a server");
        return false;
    }
    return true;
}

}  // namespace tarvedde
