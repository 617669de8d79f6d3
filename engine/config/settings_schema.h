// The keys of TARVEDDE.INI, each declared once: section, key, type, default and clamp.
// The loader, the start, the cycle and (later) the dialogs read and write through these
// declarations, so a key's spelling, default and bounds live in one place.
//
// A few keys are read with another default at one moment of the program (Puffer when
// the live window is created); those readers pass their default explicitly and say why.
#pragma once

#include <climits>
#include <string>
#include <vector>

#include "engine/model/item_model.h"
#include "platform/ini_file.h"
#include "platform/result.h"

namespace tarvedde::schema {

struct IntKey {
    const char* section;
    const char* name;
    int fallback;
    int min = INT_MIN;
    int max = INT_MAX;
    int Clamp(int value) const { return value < min ? min : value > max ? max : value; }
};

struct BoolKey {
    const char* section;
    const char* name;
    bool fallback;
};

struct TextKey {
    const char* section;
    const char* name;
    const char* fallback;
};

// Where an item's key lives: in a section per property with the key "Item<n>" (most
// keys), in the item's own section "Item_<n>", or in the section "Item<n>".
enum class ItemLayout { PropertySection, ItemSection, ItemNumberSection };

template <class Key>
struct ItemKey {
    ItemLayout layout;
    const char* name;  // the property section, or the key within the item's section
    Key key;           // fallback and clamp; section and name unused
};

// A key's section and name for item n.
struct Location {
    std::string section;
    std::string name;
};
template <class Key>
Location Locate(const ItemKey<Key>& key, int n);

// Reads are clamped to the key's bounds; ReadRaw gives the text's own number.
int Read(const IniFile& ini, const IntKey& key);
int Read(const IniFile& ini, const IntKey& key, int fallback);
int ReadRaw(const IniFile& ini, const IntKey& key);
bool Read(const IniFile& ini, const BoolKey& key);
bool Read(const IniFile& ini, const BoolKey& key, bool fallback);
std::string Read(const IniFile& ini, const TextKey& key);
std::string Read(const IniFile& ini, const TextKey& key, const std::string& fallback);
Status Write(IniFile& ini, const IntKey& key, int value);
Status Write(IniFile& ini, const BoolKey& key, bool value);
Status Write(IniFile& ini, const TextKey& key, std::string_view value);

int Read(const IniFile& ini, const ItemKey<IntKey>& key, int n);
bool Read(const IniFile& ini, const ItemKey<BoolKey>& key, int n);
std::string Read(const IniFile& ini, const ItemKey<TextKey>& key, int n);
std::string Read(const IniFile& ini, const ItemKey<TextKey>& key, int n,
                 const std::string& fallback);
Status Write(IniFile& ini, const ItemKey<IntKey>& key, int n, int value);
Status Write(IniFile& ini, const ItemKey<BoolKey>& key, int n, bool value);
Status Write(IniFile& ini, const ItemKey<TextKey>& key, int n, std::string_view value);

// [DDE]
inline constexpr IntKey kItemcount{"DDE", "Itemcount", 0, 0, maxItems};
inline constexpr IntKey kIntervall{"DDE", "Intervall", 10};
inline constexpr IntKey kEinheit{"DDE", "Einheit", 0};
inline constexpr IntKey kPuffer{"DDE", "Puffer", 5};
inline constexpr BoolKey kAutoStart{"DDE", "AutoStart", true};
inline constexpr TextKey kDdeServer{"DDE", "Server", "Anwendung"};
inline constexpr TextKey kDdeTopic{"DDE", "Topic", "Thema"};
inline constexpr BoolKey kRohdatenSpeichern{"DDE", "RohdatenSpeichern", false};
inline constexpr BoolKey kTarveview{"DDE", "Tarveview", true};
inline constexpr BoolKey kTarveget{"DDE", "Tarveget", true};
inline constexpr IntKey kDrucker{"DDE", "Drucker", -1};
inline constexpr TextKey kDruckername{"DDE", "Druckername", ""};
inline constexpr BoolKey kDrucken{"DDE", "Drucken", false};
inline constexpr BoolKey kCustomIni{"DDE", "CustomIni", false};
inline constexpr BoolKey kCustomNewDay{"DDE", "CustomNewDay", false};
inline constexpr TextKey kCustomTime{"DDE", "CustomTime", "00:00:00"};
inline constexpr BoolKey kVariniSkalierung{"DDE", "varini-Skalierung", false};
inline constexpr BoolKey kPermanent{"DDE", "Permanent", true};
inline constexpr BoolKey kFirstRun{"DDE", "FirstRun", true};
inline constexpr BoolKey kNullstart{"DDE", "Nullstart", false};
inline constexpr BoolKey kCheckTot{"DDE", "Check_tot", true};
// The day the state files belong to; its reader's default is yesterday.
inline constexpr TextKey kAktuTag{"DDE", "AktuTag", ""};
inline constexpr IntKey kM15Minutes{"DDE", "t_M15", 15};
inline constexpr IntKey kMaxRTF{"DDE", "MaxRTF", 100000};
inline constexpr IntKey kProtoFontsize{"DDE", "ProtoFontsize", 10};
// The backup directory the statistics window looks for protocol files in.
inline constexpr TextKey kSicherung{"DDE", "Sicherung", ""};
// [Formate]
inline constexpr IntKey kFormatPR{"Formate", "PR", 12, 0, 255};
inline constexpr IntKey kFormatNK{"Formate", "NK", 3, 0, 255};
// [OPC]
inline constexpr TextKey kOpcHost{"OPC", "Host", ""};
inline constexpr TextKey kOpcServer{"OPC", "Server", ""};
inline constexpr IntKey kOpcDeadSeconds{"OPC", "OPC_tot-Sekunden", 180};
inline constexpr IntKey kOpcCloseCount{"OPC", "OPC_Close_Count", 4};
// [OPC_Neu]: the browse dialog's choice; the program never reads it.
inline constexpr TextKey kOpcNeuHost{"OPC_Neu", "Host", ""};
inline constexpr TextKey kOpcNeuServer{"OPC_Neu", "Server", ""};
inline constexpr IntKey kOpcNeuItemcount{"OPC_Neu", "Itemcount", 0};
inline constexpr IntKey kOpcNeuControlcount{"OPC_Neu", "Controlcount", 0};
inline constexpr ItemKey<TextKey> kOpcNeuItem{ItemLayout::PropertySection, "OPC_Neu", {"", "", ""}};
// [Gleitend]: a ring of no slots has no mean.
inline constexpr IntKey kGleitendPuffer{"Gleitend", "Puffer", 360, 1, 360};
inline constexpr IntKey kGleitendIntervall{"Gleitend", "Intervall", 10};
// [Fremdwasser]
inline constexpr IntKey kZulaufMinIndex{"Fremdwasser", "ZulaufMin_ls_index", 0};
inline constexpr IntKey kZulaufSummeIndex{"Fremdwasser", "ZulaufSumme_qbm_index", 0};
inline constexpr TextKey kZulaufEwInd{"Fremdwasser", "Zulauf_EwInd_ls", "3,0"};

// Per item, in a section per property.
using P = ItemLayout;
inline constexpr ItemKey<TextKey> kItems{P::PropertySection, "Items", {"", "", "0"}};
// The default name is "undefiniert_" + n; its reader passes it.
inline constexpr ItemKey<TextKey> kItemnames{P::PropertySection, "Itemnames", {"", "", ""}};
inline constexpr ItemKey<BoolKey> kWarnung{P::PropertySection, "Warnung", {"", "", false}};
inline constexpr ItemKey<TextKey> kUpWarn{P::PropertySection, "UpWarn", {"", "", "0"}};
inline constexpr ItemKey<TextKey> kLoWarn{P::PropertySection, "LoWarn", {"", "", "0"}};
inline constexpr ItemKey<TextKey> kUpLimit{P::PropertySection, "UpLimit", {"", "", "100000.0"}};
inline constexpr ItemKey<TextKey> kLoLimit{P::PropertySection, "LoLimit", {"", "", "-100000.0"}};
inline constexpr ItemKey<TextKey> kIntegralLimit{
    P::PropertySection, "IntegralLimit", {"", "", "0.01"}};
inline constexpr ItemKey<IntKey> kIntegralBezug{P::PropertySection, "IntegralBezug", {"", "", 1}};
inline constexpr ItemKey<TextKey> kZeitrahmen{P::PropertySection, "Zeitrahmen", {"", "", "0"}};
inline constexpr ItemKey<TextKey> kUmrechnung{P::PropertySection, "Umrechnung", {"", "", "0"}};
inline constexpr ItemKey<TextKey> kSpiegelung{P::PropertySection, "Spiegelung", {"", "", "0"}};
inline constexpr ItemKey<BoolKey> kGleitend{P::PropertySection, "Gleitend", {"", "", false}};
inline constexpr ItemKey<BoolKey> kDifferenz{P::PropertySection, "Differenz", {"", "", false}};
inline constexpr ItemKey<BoolKey> kGrafikanzeige{
    P::PropertySection, "Grafikanzeige", {"", "", true}};
inline constexpr ItemKey<IntKey> kGrafikRef{P::PropertySection, "GrafikRef", {"", "", 0}};
inline constexpr ItemKey<IntKey> kGrafiktyp{P::PropertySection, "Grafiktyp", {"", "", 1}};
inline constexpr ItemKey<TextKey> kEinheiten{P::PropertySection, "Einheiten", {"", "", ""}};
inline constexpr ItemKey<BoolKey> kIntegral{P::PropertySection, "Integral", {"", "", false}};
inline constexpr ItemKey<IntKey> kTagesauswahl{P::PropertySection, "Tagesauswahl", {"", "", 127}};
inline constexpr ItemKey<BoolKey> kMaxAusZeitAnzeigen{
    P::PropertySection, "MaxAusZeit_anzeigen", {"", "", false}};
inline constexpr ItemKey<IntKey> kGanglinie{P::PropertySection, "Ganglinie", {"", "", 0}};
inline constexpr ItemKey<TextKey> kGrafikEinheit{P::PropertySection, "GrafikEinheit", {"", "", ""}};
// The sum units default to the item's unit; their readers pass it.
inline constexpr ItemKey<TextKey> kSummenEinheiten{
    P::PropertySection, "SummenEinheiten", {"", "", ""}};
inline constexpr ItemKey<TextKey> kSummenTeiler{P::PropertySection, "SummenTeiler", {"", "", "1"}};
inline constexpr ItemKey<TextKey> kGrafikSumEinheit{
    P::PropertySection, "GrafikSumEinheit", {"", "", ""}};
inline constexpr ItemKey<TextKey> kGrafikSumTeiler{
    P::PropertySection, "GrafikSumTeiler", {"", "", "1"}};
// Per item, in its own section "Item_<n>".
inline constexpr ItemKey<BoolKey> kM15Berechnen{P::ItemSection, "M15_berechnen", {"", "", true}};
inline constexpr ItemKey<IntKey> kTabelleBenutzen{P::ItemSection, "Tabelle_benutzen", {"", "", 0}};
// "-0": not set here; the range then comes from VAR.INI.
inline constexpr ItemKey<TextKey> kMinForUser{P::ItemSection, "MinForUser", {"", "", "-0"}};
inline constexpr ItemKey<TextKey> kMaxForUser{P::ItemSection, "MaxForUser", {"", "", "-0"}};
inline constexpr ItemKey<IntKey> kMinForSPS{P::ItemSection, "MinForSPS", {"", "", -99999}};
inline constexpr ItemKey<IntKey> kMaxForSPS{P::ItemSection, "MaxForSPS", {"", "", -1}};
// The second warning condition, in the section "Item<n>".
inline constexpr ItemKey<IntKey> kWarnFlag2{P::ItemNumberSection, "WarnFlag2", {"", "", 0}};
inline constexpr ItemKey<BoolKey> kWarnComp2{P::ItemNumberSection, "WarnComp2", {"", "", true}};
inline constexpr ItemKey<TextKey> kWarnLevel2{P::ItemNumberSection, "WarnLevel2", {"", "", "0,5"}};

// What a DDE installation asks of its server: the service, the topic and the item
// strings of the configured items (items without one are left out).
struct DdeServerNames {
    std::string service;
    std::string topic;
    std::vector<std::string> items;
};
DdeServerNames ReadDdeServerNames(const IniFile& ini);

// The file of conversion table k (1 or 2): [Tabelle_<k>] Name.
std::string TableSection(int k);
inline constexpr char kTableName[] = "Name";

}  // namespace tarvedde::schema
