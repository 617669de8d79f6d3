// The statistics window " Meldungen": the day protocol (Memo2), the message text (Memo1)
// and the actions that print, save and load them. Printing, the file-open dialog and the
// order dialog belong to the platform; the form reaches them through the three small
// interfaces below, so tests and the scenario runner drive it without a window.
//
// Guarantees: a protocol file that cannot be read leaves Memo1 as it was, and bytes that
// are no RTF load as plain lines; none of these file failures is reported, and none
// reaches the acquisition.
#pragma once

#include <string>
#include <vector>

#include "engine/config/configuration.h"
#include "engine/model/host.h"
#include "outputs/program_log.h"
#include "platform/date_time.h"
#include "platform/lines_model.h"
#include "platform/rich_text_model.h"

namespace tarvedde {

class ProtocolPrinter {
public:
    virtual ~ProtocolPrinter() = default;
    // `title` names the print job. With `ask` the print dialog comes first; false when
    // the operator cancelled it or nothing could be printed.
    virtual bool Print(const RichTextModel& text, const std::string& title, int fontSize,
                       bool ask) = 0;
};

struct FileFilter {
    std::string name;     // "Protokoll-Dateien"
    std::string pattern;  // "*.RTF"
};

class ProtocolFileDialog {
public:
    virtual ~ProtocolFileDialog() = default;
    // The full path of the file the operator chose; empty when cancelled.
    virtual std::string Open(const std::string& directory,
                             const std::vector<FileFilter>& filters) = 0;
};

class ProtocolOrderDialog {
public:
    virtual ~ProtocolOrderDialog() = default;
    // Shows the protocol order dialog TFo_Reihenfolge; returns when it is closed.
    virtual void Show() = 0;
};

class TFo_Statistik {
public:
    struct Platform {
        ProtocolPrinter& printer;
        ProtocolFileDialog& fileDialog;
        ProtocolOrderDialog& orderDialog;
    };

    // `runningDay` is the engine's, read at each action.
    TFo_Statistik(RichTextModel& memo2, LinesModel& memo1, Configuration& config, Host& host,
                  ProgramLog& log, const DateParts& runningDay, Platform platform)
        : memo2_(memo2),
          memo1_(memo1),
          config_(config),
          host_(host),
          log_(log),
          runningDay_(runningDay),
          platform_(platform) {}

    // The window's buttons in the order they stand: the upper row belongs to Memo2, the
    // lower one to Memo1. A speed button shows `text` as its hint, Button1 as its caption.
    struct Action {
        const char* name;
        const char* text;
        bool lower;
        void (TFo_Statistik::*click)();
    };
    static const std::vector<Action>& Actions();
    static constexpr int kMinFontSize = 6;
    static constexpr int kMaxFontSize = 14;

    // Control values.
    const std::string caption = " Meldungen";
    const std::string Panel3 = "Tagesprotokoll";  // the panel above Memo2
    bool visible = false;
    int SpinEdit1 = 10;  // ProtoFontsize: the font size of both texts and of printing
    std::string Panel1;  // the lower panel: the name of the text shown in Memo1

    RichTextModel& Memo2() { return memo2_; }
    LinesModel& Memo1() { return memo1_; }
    // The operator's edit of Memo1's text.
    void Memo1Edited(const std::string& text) { log_.EditStatisticsInfo(text); }

    // Event handlers.
    void FormShow();
    void FormClose() { visible = false; }
    void spDruckenClick();
    void spSichernClick();
    void SpeedButton1Click();  // "Drucken und Löschen"
    void SpeedButton2Click();  // "Reihenfolge"
    void SpinEdit1Change();    // takes SpinEdit1, kept within 6..14
    void spLadenClick();
    void Memo1DruckClick();
    void Memo1SaveClick();
    void SpeedButton3Click();  // the backup directory
    void Button1Click();       // "Gestern"

private:
    double RunningDay() const;
    double WindowDay() const;
    RichTextModel Memo1Text() const;
    void OpenIntoMemo1(const std::string& directory);
    bool LoadIntoMemo1(const std::string& path);

    RichTextModel& memo2_;
    LinesModel& memo1_;
    Configuration& config_;
    Host& host_;
    ProgramLog& log_;
    const DateParts& runningDay_;
    Platform platform_;
};

}  // namespace tarvedde
