// The registrations are plain tables: a control name with the setter of its value, a
// handler name with its method. A form joins with one Add... function below and one line
// in Registry().
#include "app/scenario_forms.h"

#include <charconv>
#include <functional>
#include <vector>

#include "dialogs/tarvedde_drucker.h"
#include "dialogs/tarvedde_einstell1.h"
#include "dialogs/tarvedde_graf_einstell.h"
#include "dialogs/tarvedde_kalibrierung.h"
#include "dialogs/tarvedde_time_table.h"
#include "dialogs/tarvedde_wartung.h"
#include "dialogs/tarvedde_zaehler.h"
#include "platform/memory_printers.h"

namespace tarvedde {

// What a form is built on: the running program and the dialogs it shows modally.
struct FormContext {
    TarveddeMain& main;
    PrinterDialog& printerDialog;
};

class FormDriver {
public:
    virtual ~FormDriver() = default;
    virtual void Show() = 0;
    virtual void Close() = 0;
    virtual Status Set(const std::string& control, const std::string& value) = 0;
    virtual void Call(const std::string& handler) = 0;
};

namespace {

// The script's text into a control value, or why it does not fit the control.
template <class Form>
using Setter = std::function<Status(Form&, const std::string&)>;

template <class Form>
struct FormBinding {
    std::function<std::unique_ptr<Form>(FormContext&)> create;
    void (Form::*show)() = nullptr;
    std::function<void(Form&)> close;  // empty: the window only hides
    std::map<std::string, Setter<Form>> controls;
    std::map<std::string, void (Form::*)()> handlers;
};

template <class Form>
class BoundForm final : public FormDriver {
public:
    BoundForm(std::unique_ptr<Form> form, const FormBinding<Form>& binding)
        : form_(std::move(form)), binding_(binding) {}
    void Show() override { ((*form_).*binding_.show)(); }
    void Close() override {
        if (binding_.close) {
            binding_.close(*form_);
        }
    }
    Status Set(const std::string& control, const std::string& value) override {
        return binding_.controls.at(control)(*form_, value);
    }
    void Call(const std::string& handler) override { ((*form_).*binding_.handlers.at(handler))(); }

private:
    std::unique_ptr<Form> form_;
    const FormBinding<Form>& binding_;
};

class FormKind {
public:
    virtual ~FormKind() = default;
    virtual bool HasControl(const std::string& name) const = 0;
    virtual bool HasHandler(const std::string& name) const = 0;
    virtual std::unique_ptr<FormDriver> Create(FormContext& context) const = 0;
};

template <class Form>
class Kind final : public FormKind {
public:
    explicit Kind(FormBinding<Form> binding) : binding_(std::move(binding)) {}
    bool HasControl(const std::string& name) const override {
        return binding_.controls.contains(name);
    }
    bool HasHandler(const std::string& name) const override {
        return binding_.handlers.contains(name);
    }
    std::unique_ptr<FormDriver> Create(FormContext& context) const override {
        return std::make_unique<BoundForm<Form>>(binding_.create(context), binding_);
    }

private:
    FormBinding<Form> binding_;
};

class FormRegistry {
public:
    template <class Form>
    void Add(const std::string& name, FormBinding<Form> binding) {
        kinds_[name] = std::make_unique<Kind<Form>>(std::move(binding));
    }
    const FormKind* Find(const std::string& name) const {
        const auto found = kinds_.find(name);
        return found == kinds_.end() ? nullptr : found->second.get();
    }

private:
    std::map<std::string, std::unique_ptr<FormKind>> kinds_;
};

Result<int> ParseWhole(const std::string& text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return Error{"'" + text + "' is not a whole number"};
    }
    return value;
}

// A position (digits) or the text of an entry.
Result<int> SelectIn(const std::vector<std::string>& items, const std::string& value) {
    if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos) {
        const Result<int> index = ParseWhole(value);
        if (index && index.value() < static_cast<int>(items.size())) {
            return index;
        }
        return Error{"the list has no position " + value};
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == value) {
            return static_cast<int>(i);
        }
    }
    return Error{"the list has no entry '" + value + "'"};
}

template <class Form>
Setter<Form> Text(std::string Form::*member) {
    return [member](Form& form, const std::string& value) {
        form.*member = value;
        return Status();
    };
}

template <class Form>
Setter<Form> Check(bool Form::*member) {
    return [member](Form& form, const std::string& value) -> Status {
        if (value != "checked" && value != "unchecked") {
            return Error{"a check box is 'checked' or 'unchecked', not '" + value + "'"};
        }
        form.*member = value == "checked";
        return {};
    };
}

template <class Form>
Setter<Form> Number(int Form::*member) {
    return [member](Form& form, const std::string& value) -> Status {
        const Result<int> number = ParseWhole(value);
        if (!number) {
            return number.error();
        }
        form.*member = number.value();
        return {};
    };
}

// One line per "\n" of the text (a "\r" before it is dropped).
template <class Form>
Setter<Form> Lines(std::vector<std::string> Form::*member) {
    return [member](Form& form, const std::string& value) {
        std::vector<std::string> lines;
        for (std::size_t start = 0; start <= value.size();) {
            std::size_t end = value.find('\n', start);
            end = end == std::string::npos ? value.size() : end;
            std::string line = value.substr(start, end - start);
            if (line.ends_with('\r')) {
                line.pop_back();
            }
            lines.push_back(std::move(line));
            start = end + 1;
        }
        form.*member = std::move(lines);
        return Status();
    };
}

template <class Form>
Setter<Form> Selection(std::vector<std::string> Form::*items, int Form::*index) {
    return [items, index](Form& form, const std::string& value) -> Status {
        const Result<int> selected = SelectIn(form.*items, value);
        if (!selected) {
            return selected.error();
        }
        form.*index = selected.value();
        return {};
    };
}

template <class Form>
Setter<Form> Choice(const std::vector<std::string>& items, int Form::*index) {
    return [&items, index](Form& form, const std::string& value) -> Status {
        const Result<int> selected = SelectIn(items, value);
        if (!selected) {
            return selected.error();
        }
        form.*index = selected.value();
        return {};
    };
}

void AddKalibrierung(FormRegistry& registry) {
    using F = TFo_Kalibrierung;
    FormBinding<F> binding;
    binding.create = [](FormContext& c) {
        TarveddeMain& m = c.main;
        return std::make_unique<F>(m.Config(), m.Dde().Sources(), m.Integrator(), m.ItemSettings(),
                                   m.GetHost(), m.RegionalSettings());
    };
    binding.show = &F::FormShow;
    binding.close = &F::FormClose;
    binding.controls = {{"lbNames", Selection(&F::lbNames, &F::lbNamesItemIndex)},
                        {"eMinforUser", Text(&F::eMinforUser)},
                        {"eMaxforUser", Text(&F::eMaxforUser)},
                        {"e_minforsps", Number(&F::e_minforsps)},
                        {"e_maxforsps", Number(&F::e_maxforsps)}};
    binding.handlers = {{"lbNamesClick", &F::lbNamesClick},
                        {"Timer1Timer", &F::Timer1Timer},
                        {"setMinMaxClick", &F::setMinMaxClick},
                        {"bt_SichernClick", &F::bt_SichernClick}};
    registry.Add("TFo_Kalibrierung", std::move(binding));
}

void AddWartung(FormRegistry& registry) {
    using F = TFo_Wartung;
    FormBinding<F> binding;
    binding.create = [](FormContext& c) {
        TarveddeMain& m = c.main;
        return std::make_unique<F>(m.Config(), m.Processor(), m.GetHost(), m.Log(),
                                   m.RegionalSettings());
    };
    binding.show = &F::FormShow;
    binding.controls = {{"lbDDE", Selection(&F::lbDDE, &F::lbDDEItemIndex)},
                        {"cbWartung", Check(&F::cbWartung)},
                        {"T_Wartung", Number(&F::T_Wartung)},
                        {"eMin", Text(&F::eMin)},
                        {"eMax", Text(&F::eMax)}};
    binding.handlers = {{"lbDDEClick", &F::lbDDEClick},
                        {"cbWartungClick", &F::cbWartungClick},
                        {"btSpeichernClick", &F::btSpeichernClick},
                        {"T_WartungChange", &F::T_WartungChange},
                        {"bt_AbschaltenClick", &F::bt_AbschaltenClick},
                        {"Timer_WartungTimer", &F::Timer_WartungTimer},
                        {"btMinClick", &F::btMinClick},
                        {"btMaxClick", &F::btMaxClick}};
    registry.Add("TFo_Wartung", std::move(binding));
}

void AddZaehler(FormRegistry& registry) {
    using F = TFo_Zaehler;
    FormBinding<F> binding;
    binding.create = [](FormContext& c) {
        TarveddeMain& m = c.main;
        return std::make_unique<F>(m.Config(), m.Processor(), m.GetHost(), m.Log(),
                                   m.RegionalSettings());
    };
    binding.show = &F::FormShow;
    binding.close = &F::FormClose;
    binding.controls = {{"lbDDE", Selection(&F::lbDDE, &F::lbDDEItemIndex)},
                        {"eNeu", Text(&F::eNeu)},
                        {"cbSum", Check(&F::cbSum)},
                        {"cbTag", Check(&F::cbTag)},
                        {"eMin", Text(&F::eMin)},
                        {"eMax", Text(&F::eMax)}};
    binding.handlers = {{"lbDDEClick", &F::lbDDEClick},
                        {"btSetzenClick", &F::btSetzenClick},
                        {"btSpeichernClick", &F::btSpeichernClick},
                        {"btMinClick", &F::btMinClick},
                        {"btMaxClick", &F::btMaxClick},
                        {"Button1Click", &F::Button1Click},
                        {"Button2Click", &F::Button2Click}};
    registry.Add("TFo_Zaehler", std::move(binding));
}

void AddTimeTable(FormRegistry& registry) {
    using F = TFo_TimeTable;
    FormBinding<F> binding;
    binding.create = [](FormContext& c) {
        TarveddeMain& m = c.main;
        return std::make_unique<F>(m.TimeFrameStats(), m.Config(), m.GetHost(),
                                   m.RegionalSettings());
    };
    binding.show = &F::FormShow;
    binding.close = [](F& form) {
        if (form.FormCloseQuery()) {
            form.FormClose();
        }
    };
    binding.controls = {{"item", Number(&F::item)},
                        {"eT1", Text(&F::eT1)},
                        {"eT2", Text(&F::eT2)},
                        {"eT3", Text(&F::eT3)},
                        {"lb1", Selection(&F::lb1, &F::lb1ItemIndex)}};
    binding.handlers = {{"SpeedButton1Click", &F::SpeedButton1Click},
                        {"SpeedButton2Click", &F::SpeedButton2Click},
                        {"btStundeClick", &F::btStundeClick},
                        {"btViertelClick", &F::btViertelClick},
                        {"btSaveClick", &F::btSaveClick}};
    registry.Add("TFo_TimeTable", std::move(binding));
}

void AddEinstell1(FormRegistry& registry) {
    using F = TFo_Einstell1;
    FormBinding<F> binding;
    binding.create = [](FormContext& c) { return std::make_unique<F>(c.main, c.printerDialog); };
    binding.show = &F::FormShow;
    binding.close = &F::btAbbrechenClick;
    binding.controls = {{"spIntervall", Number(&F::spIntervall)},
                        {"coIntervall", Choice(F::coIntervallItems, &F::coIntervall)},
                        {"spPuffer", Number(&F::spPuffer)},
                        {"cb_var", Check(&F::cb_var)},
                        {"spGleit", Number(&F::spGleit)},
                        {"spGleitIntervall", Number(&F::spGleitIntervall)},
                        {"cbIni", Check(&F::cbIni)},
                        {"eTini", Text(&F::eTini)},
                        {"eService", Text(&F::eService)},
                        {"eTopic", Text(&F::eTopic)},
                        {"spItems", Number(&F::spItems)},
                        {"M1", Lines(&F::M1)},
                        {"M2", Lines(&F::M2)},
                        {"cbAutoStart", Check(&F::cbAutoStart)},
                        {"cbRohSpeichern", Check(&F::cbRohSpeichern)},
                        {"cbTarveView", Check(&F::cbTarveView)},
                        {"cbTarveget", Check(&F::cbTarveget)},
                        {"cbDruck", Check(&F::cbDruck)}};
    binding.handlers = {{"cbIniClick", &F::cbIniClick},
                        {"cbDruckClick", &F::cbDruckClick},
                        {"BitBtn1Click", &F::BitBtn1Click},
                        {"btSpeichernClick", &F::btSpeichernClick},
                        {"btAbbrechenClick", &F::btAbbrechenClick}};
    registry.Add("TFo_Einstell1", std::move(binding));
}

// The item settings dialog with the time table editor its button opens. A script cannot
// step into a modal dialog, so the editor shows the item's table and is closed at once.
class ClosingTimeTable final : public ModalTimeTable {
public:
    void Run(TFo_TimeTable& form) override {
        form.FormShow();
        if (form.FormCloseQuery()) {
            form.FormClose();
        }
    }
};

// Not polymorphic itself, so the dialog's handlers are called on it as on the dialog.
struct GrafEinstellParts {
    explicit GrafEinstellParts(TarveddeMain& m)
        : timeTable(m.TimeFrameStats(), m.Config(), m.GetHost(), m.RegionalSettings()) {}
    TFo_TimeTable timeTable;
    ClosingTimeTable modalTimeTable;
};

struct ScenarioGrafEinstell : GrafEinstellParts, TFo_GrafEinstell {
    explicit ScenarioGrafEinstell(TarveddeMain& m)
        : GrafEinstellParts(m),
          TFo_GrafEinstell(m.Config(),
                           {m.Integrator(), m.ItemSettings(), m.TimeFrameStats(), m.Diary(),
                            timeTable, modalTimeTable},
                           m.GetHost(), m.Log(), m.RegionalSettings()) {}
};

void AddGrafEinstell(FormRegistry& registry) {
    using F = ScenarioGrafEinstell;
    FormBinding<F> binding;
    binding.create = [](FormContext& c) { return std::make_unique<F>(c.main); };
    binding.show = &F::FormShow;
    binding.close = &F::FormClose;
    binding.controls = {{"lbDDE", Selection(&F::lbDDE, &F::lbDDEItemIndex)}};
    for (auto [name, member] : {std::pair{"editItem", &F::editItem},
                                {"editName", &F::editName},
                                {"editOben", &F::editOben},
                                {"editUnten", &F::editUnten},
                                {"edWarnOben", &F::edWarnOben},
                                {"edWarnUnten", &F::edWarnUnten},
                                {"editM", &F::editM},
                                {"editT", &F::editT},
                                {"editEinheit", &F::editEinheit},
                                {"editIntegral", &F::editIntegral},
                                {"editUmrFaktor", &F::editUmrFaktor},
                                {"editUmrTeiler", &F::editUmrTeiler},
                                {"editUmrEinheit", &F::editUmrEinheit},
                                {"eT1", &F::eT1},
                                {"eT2", &F::eT2}}) {
        binding.controls.emplace(name, Text<F>(member));
    }
    for (auto [name, member] : {std::pair{"cbGleit", &F::cbGleit},
                                {"cbDifferenz", &F::cbDifferenz},
                                {"cbIntegral", &F::cbIntegral},
                                {"cbUmrechnen", &F::cbUmrechnen},
                                {"cbSpiegel", &F::cbSpiegel},
                                {"cbRahmen", &F::cbRahmen}}) {
        binding.controls.emplace(name, Check<F>(member));
    }
    binding.controls.emplace("coSpiegel", Selection(&F::coSpiegel, &F::coSpiegelItemIndex));
    binding.controls.emplace("rgTyp", Number(&F::rgTypItemIndex));
    binding.handlers = {{"lbDDEClick", &F::lbDDEClick},
                        {"editMChange", &F::editMChange},
                        {"editTChange", &F::editTChange},
                        {"ControlChange", &F::ControlChange},
                        {"cbIntegralClick", &F::cbIntegralClick},
                        {"coIntegralChange", &F::coIntegralChange},
                        {"cbRahmenClick", &F::cbRahmenClick},
                        {"cbSpiegelClick", &F::cbSpiegelClick},
                        {"cbUmrechnenClick", &F::cbUmrechnenClick},
                        {"btSpeichernClick", &F::btSpeichernClick},
                        {"btAbbrechenClick", &F::btAbbrechenClick},
                        {"btTabelleClick", &F::btTabelleClick}};
    registry.Add("TFo_GrafEinstell", std::move(binding));
}

const FormRegistry& Registry() {
    static const FormRegistry registry = [] {
        FormRegistry forms;
        AddKalibrierung(forms);
        AddWartung(forms);
        AddZaehler(forms);
        AddTimeTable(forms);
        AddEinstell1(forms);
        AddGrafEinstell(forms);
        return forms;
    }();
    return registry;
}

}  // namespace

// The scenario's workstation has no printer: the dialog says so and closes with none.
class ScenarioForms::PrinterDialogStandIn final : public PrinterDialog {
public:
    explicit PrinterDialogStandIn(TarveddeMain& main)
        : dialog_(main.Config(), main.GetHost(), main.Log(), printers_) {}
    int ShowModal() override {
        dialog_.FormShow();
        dialog_.btAbbrechenClick();
        return dialog_.Drucker();
    }

private:
    MemoryPrinters printers_;
    TFo_Drucker dialog_;
};

ScenarioForms::ScenarioForms(TarveddeMain& main)
    : main_(main), printerDialog_(std::make_unique<PrinterDialogStandIn>(main)) {}

ScenarioForms::~ScenarioForms() = default;

Status ScenarioForms::Check(const FormCommand& command) {
    const FormKind* kind = Registry().Find(command.form);
    if (kind == nullptr) {
        return Error{"unknown form '" + command.form + "'"};
    }
    if (command.op == FormCommand::Op::Set && !kind->HasControl(command.name)) {
        return Error{command.form + " has no control '" + command.name + "'"};
    }
    if (command.op == FormCommand::Op::Call && !kind->HasHandler(command.name)) {
        return Error{command.form + " has no handler '" + command.name + "'"};
    }
    return {};
}

Status ScenarioForms::Execute(const FormCommand& command) {
    if (Status checked = Check(command); !checked) {
        return checked;
    }
    auto form = forms_.find(command.form);
    if (command.op == FormCommand::Op::Show) {
        if (form == forms_.end()) {
            FormContext context{main_, *printerDialog_};
            form =
                forms_.emplace(command.form, Registry().Find(command.form)->Create(context)).first;
        }
        form->second->Show();
        return {};
    }
    if (form == forms_.end()) {
        return Error{command.form + " has not been shown"};
    }
    switch (command.op) {
        case FormCommand::Op::Set:
            return form->second->Set(command.name, command.value);
        case FormCommand::Op::Call:
            form->second->Call(command.name);
            return {};
        case FormCommand::Op::Close:
        case FormCommand::Op::Show:
            break;
    }
    form->second->Close();
    return {};
}

}  // namespace tarvedde
