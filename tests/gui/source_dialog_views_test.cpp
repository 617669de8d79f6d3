// The data sources' dialogs as the menus open them on a running program: each shows its
// model's values, and its main button leaves its effect in the program's files.
#include "gui/source_dialog_views.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>

#include "gui/qt_opc_dialogs.h"
#include "outputs/datalog_container.h"
#include "outputs/diary_files.h"
#include "platform/operator_transcript.h"
#include "sources/in_memory_opc_server.h"
#include "tests/engine/engine_test_host.h"
#include "tests/gui/modal_dialog.h"
#include "tests/gui/qt_application.h"
#include "tests/outputs/diary_binding_builder.h"

namespace tarvedde {
namespace {

template <class T>
T* Find(const QWidget& widget, const char* name) {
    T* found = widget.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QRadioButton* Radio(const QWidget& widget, const char* group, int index) {
    return Find<QGroupBox>(widget, group)->findChildren<QRadioButton*>().at(index);
}

void Click(const QWidget& widget, const char* button) {
    Find<QPushButton>(widget, button)->click();
}

class SourceDialogViewsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::EnsureQtApplication(); }

    void Start(SourceKind kind) {
        main_ = std::make_unique<TarveddeMain>(env_.host,
                                               StartOptions{"/plant", kind, "source-dialogs"});
        ASSERT_TRUE(main_->FormCreate());
        main_->FormShow();
        AddSourceDialogViews(catalog_, *main_);
    }
    void StartOpc() {
        transport_.AddServer(server_);
        env_.host.opc = &transport_;
        env_.WriteText("TARVEDDE.INI",
                       "[DDE]\nItemcount=1\nAutoStart=0\nAktuTag=05.03.2024\nTarveget=0\n"
                       "[Items]\nItem1=Plant.Zulauf\n[OPC]\nServer=Plant.Sim.1\n");
        Start(SourceKind::Opc);
        opcDialogs_ = std::make_unique<QtOpcDialogs>(*main_, &parent_);
        main_->SetOpcDialogs(opcDialogs_.get());
    }
    std::vector<DiaryBinding> Stored(const std::string& name) const {
        return DecodeBindingFile(env_.files.ReadAll(env_.dir + name).value_or("")).records;
    }
    std::string Ini(const std::string& section, const std::string& key) {
        return IniFile(env_.files, env_.dir + "TARVEDDE.INI").ReadString(section, key, "<none>");
    }
    void Open(const char* menu, const std::function<void(QDialog&)>& drive) {
        testing::WithModalDialog([&] { EXPECT_TRUE(catalog_.Open(menu)); }, drive);
    }

    testing::EngineTestHost env_;
    const std::vector<std::string>& said_ = env_.person.Transcript();
    InMemoryOpcServer server_{"Plant.Sim.1"};
    InMemoryOpcTransport transport_;
    std::unique_ptr<TarveddeMain> main_;
    std::unique_ptr<QtOpcDialogs> opcDialogs_;
    QWidget parent_;
    WindowCatalog catalog_{&parent_};
};

TEST_F(SourceDialogViewsTest, PermanentModeBindsAPositionWithItsTimeFrame) {
    env_.WriteText("TARVEDDE.INI",
                   "[DDE]\nItemcount=2\nAutoStart=0\nAktuTag=05.03.2024\n[Items]\nItem1=Q\n"
                   "Item2=P\n[Itemnames]\nItem1=Zulauf\nItem2=Pumpe\n[Zeitrahmen]\n"
                   "Item1=1|06:00:00|22:00:00\n");
    env_.WriteText("ONLINE.TVW", "2\n11\nZulauf Tag\n12\nPumpe\n");
    Start(SourceKind::Dde);
    Open("UebergabezumTagebuch1", [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Einstellungen zur Datenübergabe an das Tagebuch");
        auto* positions = Find<QListWidget>(dialog, "lbCget");
        ASSERT_EQ(positions->count(), 2);
        EXPECT_EQ(positions->item(1)->text(), "Pumpe");
        positions->setCurrentRow(0);
        EXPECT_EQ(Find<QLabel>(dialog, "lbIndex")->text(), "11");
        auto* items = Find<QComboBox>(dialog, "cbDDE");
        ASSERT_EQ(items->count(), 3);
        emit items->activated(1);
        EXPECT_EQ(Find<QLabel>(dialog, "lbDDE")->text(), "Q");
        Radio(dialog, "rgWas", 2)->click();  // Maximum
        Find<QCheckBox>(dialog, "cbZeit")->click();
        Radio(dialog, "rgZeit", 1)->click();  // across the date change
        EXPECT_EQ(Find<QLineEdit>(dialog, "eT1")->text(), "22:00:00");
        Find<QCheckBox>(dialog, "cn7")->click();
        Click(dialog, "btSpeichern");
        EXPECT_FALSE(dialog.isVisible());
    });
    const std::vector<DiaryBinding> stored = Stored("BINDUNG.TVW");
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].itemNumber, 1);
    EXPECT_EQ(stored[0].transferType, 2);
    EXPECT_TRUE(stored[0].timeRestricted);
    EXPECT_EQ(stored[0].timeFrameMode, 1);
    EXPECT_EQ(stored[0].neverMask, 64);
    EXPECT_EQ(stored[1].itemNumber, 0);
}

TEST_F(SourceDialogViewsTest, AqasysModeBindsAnIndexToAParameterForSomeHours) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nItemcount=0\nAutoStart=0\n");
    env_.WriteText("AQASYSITEMS.TXT", "A12\nA13\n");
    env_.WriteText("AQASYSNAMES.TXT", "Regen\nTemperatur\n");
    env_.WriteText("ONLINE.TVW", "2\n5\nRegen Tag\n7\nTemperatur\n");
    Start(SourceKind::Aqasys);
    Open("UebergabezumTagebuch1", [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Bindung der DDE-Parameter an das Tagebuch");
        Find<QListWidget>(dialog, "lbCget")->setCurrentRow(0);
        EXPECT_EQ(Find<QLabel>(dialog, "lbIndex")->text(), "5");
        emit Find<QComboBox>(dialog, "cbDDE")->activated(1);
        EXPECT_EQ(Find<QLabel>(dialog, "lbDDE")->text(), "A12");
        Find<QCheckBox>(dialog, "cbZeit")->click();
        Find<QSpinBox>(dialog, "spT1")->setValue(6);
        Find<QSpinBox>(dialog, "spT2")->setValue(18);
        Click(dialog, "btSpeichern");
    });
    const std::vector<DiaryBinding> stored = Stored("AQABIND.TVW");
    ASSERT_EQ(stored.size(), 300u);
    EXPECT_EQ(stored[4].itemNumber, 1);
    EXPECT_EQ(stored[4].timeFrameMode, 6);
    EXPECT_EQ(stored[4].allDayMask, 18);
}

TEST_F(SourceDialogViewsTest, BrowserCollectsAnItemFromTheTreeAndSavesIt) {
    server_.SetValue("Plant.Zulauf", 1.5);
    server_.SetValue("Plant.Becken.O2", 2.5);
    StartOpc();
    Open("Browser1", [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Opc Browser");
        auto* tree = Find<QTreeWidget>(dialog, "itb1");
        ASSERT_EQ(tree->topLevelItemCount(), 1);
        QTreeWidgetItem* o2 = tree->topLevelItem(0)->child(0)->child(0);
        ASSERT_EQ(o2->text(0), "O2");
        tree->setCurrentItem(o2);
        const auto* properties = Find<QTreeWidget>(dialog, "PropertyView");
        ASSERT_GE(properties->topLevelItemCount(), 2);
        EXPECT_EQ(properties->topLevelItem(1)->text(3), "2,5");
        emit tree->itemPressed(o2, 0);
        emit tree->itemDoubleClicked(o2, 0);
        EXPECT_EQ(Find<QLineEdit>(dialog, "e1")->text(), "Plant.Becken.O2");
        EXPECT_EQ(Find<QListWidget>(dialog, "lb1")->count(), 1);
        Click(dialog, "btSpeichern");
        Click(dialog, "btZurueck");
    });
    EXPECT_EQ(Ini("OPC_Neu", "Itemcount") + " " + Ini("OPC_Neu", "Item1"), "1 Plant.Becken.O2");
    EXPECT_FALSE(main_->Opc().Client().Active());

    server_.SetOrganization(OpcNamespaceType::Flat);
    Open("Browser1", [&](QDialog& dialog) {
        auto* list = Find<QTreeWidget>(dialog, "itb1");
        EXPECT_EQ(list->topLevelItemCount(), 2);
        EXPECT_FALSE(list->rootIsDecorated());
    });
}

TEST_F(SourceDialogViewsTest, ServerSelectionWantsOneServerAndConnectsToIt) {
    StartOpc();
    Open("Servereinstellen1", [&](QDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Select Server");
        auto* servers = Find<QTreeWidget>(dialog, "lvServers");
        ASSERT_EQ(servers->topLevelItemCount(), 1);
        EXPECT_EQ(servers->topLevelItem(0)->text(2), "DA1, DA2");
        Click(dialog, "btOK");
        EXPECT_EQ(said_.back(), MessageLine("Please select a server"));
        ASSERT_TRUE(dialog.isVisible());
        servers->topLevelItem(0)->setSelected(true);
        Click(dialog, "btOK");
    });
    EXPECT_EQ(Ini("OPC", "Server"), "Plant.Sim.1");
    EXPECT_TRUE(main_->Opc().Client().Active());
}

TEST_F(SourceDialogViewsTest, RetrievalMarksTheChosenDaysAndStartsTheTransfer) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nAutoStart=0\nFirstRun=0\n");
    env_.WriteText("AQASYSITEMS.TXT", "A12;\n");
    Start(SourceKind::Aqasys);
    main_->Diary().ReplaceBindings({testing::BoundPosition("Regen", 1, 1, 0)});
    const auto unread = [&] {
        std::vector<int> days;
        const auto records = DatalogContainer(env_.files, env_.dir, 2023).Read().value().records;
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (!records[i].read) {
                days.push_back(static_cast<int>(i) + 1);
            }
        }
        return days;
    };
    Open("AqasysAbrufen1", [&](QDialog& dialog) {
        EXPECT_EQ(Find<QDateEdit>(dialog, "dtVom")->date(), QDate(2024, 3, 5));
        Find<QDateEdit>(dialog, "dtVom")->setDate(QDate(2023, 1, 2));
        Find<QDateEdit>(dialog, "dtBis")->setDate(QDate(2023, 1, 3));
        Click(dialog, "btMarkieren");
        EXPECT_EQ(unread(), (std::vector<int>{2, 3}));
        ASSERT_TRUE(main_->Stopped());
        Click(dialog, "btAbrufen");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_FALSE(main_->Stopped());
    EXPECT_TRUE(main_->TimerAqasys1().Enabled());
}

TEST_F(SourceDialogViewsTest, ParameterEditorAddsAParameterAndSavesTheLists) {
    env_.WriteText("TARVEDDE.INI", "[DDE]\nAutoStart=0\nFirstRun=0\n");
    env_.WriteText("AQASYSITEMS.TXT", "A12;\n");
    env_.WriteText("AQASYSNAMES.TXT", "Regen\n");
    Start(SourceKind::Aqasys);
    Open("TFo_Kestrom1", [&](QDialog& dialog) {
        auto* codes = Find<QListWidget>(dialog, "lbDDE");
        ASSERT_EQ(codes->count(), 1);
        EXPECT_EQ(Find<QListWidget>(dialog, "lbName")->item(0)->text(), "Regen");
        EXPECT_FALSE(Find<QWidget>(dialog, "pnSpeichern")->isVisible());
        QApplication::processEvents();           // the list takes the focus, which chooses no line
        Radio(dialog, "rgMessart", 1)->click();  // Digital
        Find<QSpinBox>(dialog, "eNummer")->setValue(5);
        auto* name = Find<QLineEdit>(dialog, "eName");
        name->setText("Pumpe");
        emit name->textEdited("Pumpe");
        Click(dialog, "btHinzu");
        ASSERT_EQ(codes->count(), 2);
        EXPECT_EQ(codes->item(1)->text(), "D5;");
        EXPECT_FALSE(Find<QPushButton>(dialog, "btZurueck")->isEnabled());
        EXPECT_TRUE(Find<QWidget>(dialog, "pnSpeichern")->isVisible());
        Click(dialog, "btSpeichern");
        EXPECT_FALSE(dialog.isVisible());
    });
    EXPECT_EQ(env_.ReadText("AQASYSITEMS.TXT"), "A12;\r\nD5;\r\n");
    EXPECT_EQ(env_.ReadText("AQASYSNAMES.TXT"), "Regen\r\nPumpe\r\n");
}

}  // namespace
}  // namespace tarvedde
