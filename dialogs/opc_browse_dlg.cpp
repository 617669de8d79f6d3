#include "dialogs/opc_browse_dlg.h"

#include "engine/config/settings_schema.h"
#include "platform/ini_file.h"

namespace tarvedde {

TBrowseDlg::TBrowseDlg(TarveddeMain& main) : main_(main) {
    PropertyView.ColWidthID = 33;
    PropertyView.ColWidthDesc = 163;
    PropertyView.ColWidthDatatype = 65;
    PropertyView.ColWidthValue = 163;
}

void TBrowseDlg::Execute(TOpcSimpleClient& client,
                         const std::function<void(TBrowseDlg&)>& showModal) {
    PropertyView.OpcClient = &client;
    itb1.SetPropertyView(&PropertyView);
    itb1.SetOpcClient(&client);
    if (showModal) {
        showModal(*this);
    }
    itb1.SetOpcClient(nullptr);
    PropertyView.OpcClient = nullptr;
}

void TBrowseDlg::itb1MouseDown() {
    const std::vector<TOpcNode>* level = &itb1.Nodes();
    std::string path;
    for (const int index : itb1Selected) {
        if (index < 0 || static_cast<std::size_t>(index) >= level->size()) {
            return;
        }
        const TOpcNode& node = (*level)[static_cast<std::size_t>(index)];
        path = path.empty() ? node.text : path + "." + node.text;
        level = &node.children;
    }
    if (!itb1Selected.empty()) {
        e1 = path;
    }
}

bool TBrowseDlg::LineSelected() const {
    return lb1ItemIndex >= 0 && static_cast<std::size_t>(lb1ItemIndex) < lb1.size();
}

void TBrowseDlg::itb1DblClick() {
    const auto at = LineSelected() ? lb1.begin() + lb1ItemIndex : lb1.end();
    lb1.insert(at, e1);
}

void TBrowseDlg::lb1DblClick() {
    if (!LineSelected()) {
        return;
    }
    lb1.erase(lb1.begin() + lb1ItemIndex);
    lb1ItemIndex = -1;
}

void TBrowseDlg::btEntfernenClick() {
    if (!LineSelected()) {
        return;
    }
    std::string& line = lb1[static_cast<std::size_t>(lb1ItemIndex)];
    const std::size_t dot = line.find('.');
    if (dot != std::string::npos) {
        line.erase(0, dot + 1);
    }
}

// Write failures are not told: the message below is shown in any case.
void TBrowseDlg::btSpeichernClick() {
    Host& host = main_.GetHost();
    IniFile ini(host.files, main_.Config().PathOf(kMainIniFile));
    (void)schema::Write(ini, schema::kOpcNeuHost, main_.Window().eHost);
    (void)schema::Write(ini, schema::kOpcNeuServer, main_.Opc().Client().ProgID());
    (void)schema::Write(ini, schema::kOpcNeuItemcount, static_cast<int>(lb1.size()));
    (void)schema::Write(ini, schema::kOpcNeuControlcount, 0);
    for (std::size_t i = 0; i < lb1.size(); ++i) {
        (void)schema::Write(ini, schema::kOpcNeuItem, static_cast<int>(i) + 1, lb1[i]);
    }
    host.op.ShowMessage(
        "Ausgewählte Items wurden in der TARVEDDE.INI \r\nunter Sektion [OPC_Neu]gespeichert. "
        "Sie müssen\r\ndie Konfiguration [Items] manuell einstellen.");
}

void TBrowseDlg::btTestenClick() {
    if (main_.GetHost().op.Ask("Achtung ! Sie überschreiben damit die aktuell eingestellten\r\n"
                               "Parameter bis zum Neustart des Programms. Wirklich testen ?",
                               QuestionButtons::YesNo) != Answer::Yes) {
        return;
    }
    main_.UseOpcItemsForTest(lb1);
}

}  // namespace tarvedde
