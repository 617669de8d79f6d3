// The browse dialog "Opc Browser": the connected server's address space with the chosen
// item's properties beside it, and a list of item identifiers the operator collects from
// it. The list can be saved to [OPC_Neu] (the operator copies it into [Items] by hand) or
// tried at once: it then replaces the main window's items until the program restarts.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dialogs/opc_browser.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class TBrowseDlg {
public:
    explicit TBrowseDlg(TarveddeMain& main);
    TBrowseDlg(const TBrowseDlg&) = delete;
    TBrowseDlg& operator=(const TBrowseDlg&) = delete;

    // Binds the browser to the client for the time `showModal` shows the dialog.
    void Execute(TOpcSimpleClient& client, const std::function<void(TBrowseDlg&)>& showModal);

    // Control values.
    std::string caption = "Opc Browser";
    TOpcBrowser itb1;
    // The selected node as child indices from the root; empty: none.
    std::vector<int> itb1Selected;
    TOpcPropertyView PropertyView;
    std::vector<std::string> lb1;
    int lb1ItemIndex = -1;
    std::string e1;
    std::string btZurueck = "Zurück";
    std::string btSpeichern = "Speichern";
    std::string btEntfernen = "1. entfernen";
    std::string btTesten = "Testen";

    // The edit field gets the selected node's path, its ancestors' texts joined by ".".
    void itb1MouseDown();
    // The edit field's text goes into the list before the selected line.
    void itb1DblClick();
    void lb1DblClick();  // removes the selected line
    // Removes everything up to and including the first "." of the selected line.
    void btEntfernenClick();
    void btSpeichernClick();
    void btTestenClick();

private:
    bool LineSelected() const;

    TarveddeMain& main_;
};

}  // namespace tarvedde
