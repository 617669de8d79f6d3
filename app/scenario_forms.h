// The operator dialogs a scenario script drives with `form NAME show|set|call|close`.
// Each form is registered with its control names (each a setter from the script's text)
// and its handler names; a form is built on its first `show` and lives with the program
// run, so a dialog's timer goes on after its window closed, as the program's forms do.
// Messages and questions go through the host's operator like every other.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "app/scenario_script.h"
#include "engine/frame/tarvedde_main.h"
#include "platform/result.h"

namespace tarvedde {

class FormDriver;

class ScenarioForms {
public:
    explicit ScenarioForms(TarveddeMain& main);
    ~ScenarioForms();
    ScenarioForms(const ScenarioForms&) = delete;
    ScenarioForms& operator=(const ScenarioForms&) = delete;

    // Whether the form, control and handler names exist; needs no program, so a script
    // is checked before it runs.
    static Status Check(const FormCommand& command);
    // A form not yet shown is refused for set, call and close; a setter refuses a value
    // that does not fit its control.
    Status Execute(const FormCommand& command);

private:
    class PrinterDialogStandIn;

    TarveddeMain& main_;
    std::unique_ptr<PrinterDialogStandIn> printerDialog_;
    std::map<std::string, std::unique_ptr<FormDriver>> forms_;
};

}  // namespace tarvedde
