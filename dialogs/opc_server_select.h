// The server selection dialog "Select Server": lists the OPC servers of the client's host
// and sets the client's ProgID to the one chosen. A view shows the rows, copies the
// selection in and calls the handlers.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/operator.h"
#include "sources/opc_client.h"

namespace tarvedde {

// A silent abort: the caller ends what it was doing and shows nothing.
class EAbort : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TServerSelectDlg {
public:
    struct Column {
        std::string caption;
        int width;
    };
    struct Row {
        std::string caption;  // ProgID
        std::string user;
        std::string daSupport;
        std::string vendor;
    };

    explicit TServerSelectDlg(Operator& op) : operator_(op) {}

    // Control values.
    std::string caption = "Select Server";
    const std::vector<Column> columns = {
        {"Prog ID", 150}, {"User", 150}, {"DA Support", 100}, {"Vendor", 200}};
    std::vector<Row> lvServers;
    std::vector<int> selected;  // indices into lvServers
    std::string btOK = "OK";
    std::string btCancel = "Cancel";

    // Lists the host's servers and shows the dialog through `showModal` (true: closed
    // with OK). True when a server was chosen: the client's ProgID is then set. EAbort
    // for an active client or a host without servers; EOpcEnum when the host's list
    // cannot be read.
    bool Execute(TOpcSimpleClient& client, const std::function<bool(TServerSelectDlg&)>& showModal);
    // Whether the dialog may close with OK: not without exactly one selected line.
    bool btOKClick();

    // "DA1", "DA2" or "DA1, DA2".
    static std::string DaSupportText(const OpcServerInfo& server);

private:
    Operator& operator_;
};

}  // namespace tarvedde
