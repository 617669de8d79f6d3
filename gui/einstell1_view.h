// The general settings dialog: a modal view of TFo_Einstell1. Every showing reads the
// settings anew; "Speichern" closes it once the form has saved, "Abbrechen" and the
// frame's close button leave everything as it was.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "dialogs/tarvedde_einstell1.h"
#include "engine/frame/tarvedde_main.h"

namespace tarvedde {

class Einstell1View : public QDialog {
public:
    Einstell1View(TarveddeMain& main, PrinterDialog& printerDialog, QWidget* parent = nullptr);

    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QWidget* BuildAcquisitionGroup();
    QWidget* BuildSourceGroup();
    QWidget* BuildOutputGroup();
    void Collect();
    void Run(void (TFo_Einstell1::*handler)());

    TFo_Einstell1 form_;
    QSpinBox* spIntervall_;
    QComboBox* coIntervall_;
    QSpinBox* spPuffer_;
    QCheckBox* cb_var_;
    QSpinBox* spGleit_;
    QSpinBox* spGleitIntervall_;
    QCheckBox* cbIni_;
    QLineEdit* eTini_;
    QComboBox* eService_;
    QComboBox* eTopic_;
    QSpinBox* spItems_;
    QPlainTextEdit* M1_;
    QPlainTextEdit* M2_;
    QCheckBox* cbAutoStart_;
    QCheckBox* cbRohSpeichern_;
    QCheckBox* cbTarveView_;
    QCheckBox* cbTarveget_;
    QCheckBox* cbDruck_;
};

}  // namespace tarvedde
