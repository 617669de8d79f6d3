// What the main window shows, owned by the engine: captions, labels, which buttons and
// menu items are enabled, and the item list it1. The view reads it after Changed().
#pragma once

#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tarvedde {

// The window caption and the information window both name it.
inline constexpr char kProgramVersion[] = "Version 7.26";

struct ItemListRow {
    std::string caption;
    std::array<std::string, 3> columns;  // Value, Quality, Timestamp
};

struct MainWindowModel {
    std::string caption = "Tarvewater Online-Client";
    std::string lb_StartDir;
    std::string lbAus = "OPC nicht gestartet";
    bool lbAusVisible = true;
    std::string lbDT = "00:00:00";
    std::string lbTimeout = "TimeOut";
    bool lbTimeoutVisible = false;
    std::string lbGetDDEItems = "DDE-Transfer";
    bool lbGetDDEItemsVisible = true;
    std::string lbGetDDEItemsColor;  // "" default, "red", "green"
    std::string lbWarnung;
    bool lbWarnungVisible = true;
    std::string lbWarnungColor;  // "" default, "red", "green"
    std::string btStartDDE = "OPC starten";
    bool btStartDDEEnabled = true;
    std::string btStoppen = "OPC stoppen";
    bool btStoppenEnabled = false;
    bool groupBox1Visible = true;
    bool groupBox2Visible = false;
    std::string eHost;
    double piDate1 = 0.0;
    int pb1Position = 0;  // AQASYS retrieval progress, one step per day
    int pb1Max = 100;
    std::vector<ItemListRow> it1;
    bool it1Editable = false;  // the captions can be edited in place
    // Menu item component name -> enabled; items not listed are enabled.
    std::map<std::string, bool> menuEnabled;
    std::map<std::string, std::string> menuCaption;

    bool MenuEnabled(const std::string& name) const {
        const auto it = menuEnabled.find(name);
        return it == menuEnabled.end() || it->second;
    }

    std::function<void()> onChanged;
    void Changed() const {
        if (onChanged) {
            onChanged();
        }
    }
};

}  // namespace tarvedde
