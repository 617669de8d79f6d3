// The OPC menu's dialogs in the desktop: the server selection and the browse dialog of
// the session, each shown modally over `parent` while the engine waits for it.
#pragma once

#include <QWidget>

#include "dialogs/opc_session_dialogs.h"

namespace tarvedde {

class QtOpcDialogs final : public OpcDialogs {
public:
    QtOpcDialogs(TarveddeMain& main, QWidget* parent);

    bool SelectServer(TOpcSimpleClient& client) override { return dialogs_.SelectServer(client); }
    void Browse(TOpcSimpleClient& client) override { dialogs_.Browse(client); }

private:
    OpcSessionDialogs dialogs_;
};

}  // namespace tarvedde
