#include "engine/config/settings_schema.h"

namespace tarvedde::schema {

template <class Key>
Location Locate(const ItemKey<Key>& key, int n) {
    const std::string number = std::to_string(n);
    switch (key.layout) {
        case ItemLayout::ItemSection:
            return {"Item_" + number, key.name};
        case ItemLayout::ItemNumberSection:
            return {"Item" + number, key.name};
        case ItemLayout::PropertySection:
            break;
    }
    return {key.name, "Item" + number};
}
template Location Locate(const ItemKey<IntKey>&, int);
template Location Locate(const ItemKey<BoolKey>&, int);
template Location Locate(const ItemKey<TextKey>&, int);

int Read(const IniFile& ini, const IntKey& key) {
    return key.Clamp(ReadRaw(ini, key));
}
int Read(const IniFile& ini, const IntKey& key, int fallback) {
    return key.Clamp(ini.ReadInteger(key.section, key.name, fallback));
}
int ReadRaw(const IniFile& ini, const IntKey& key) {
    return ini.ReadInteger(key.section, key.name, key.fallback);
}
bool Read(const IniFile& ini, const BoolKey& key) {
    return ini.ReadBool(key.section, key.name, key.fallback);
}
bool Read(const IniFile& ini, const BoolKey& key, bool fallback) {
    return ini.ReadBool(key.section, key.name, fallback);
}
std::string Read(const IniFile& ini, const TextKey& key) {
    return ini.ReadString(key.section, key.name, key.fallback);
}
std::string Read(const IniFile& ini, const TextKey& key, const std::string& fallback) {
    return ini.ReadString(key.section, key.name, fallback);
}
Status Write(IniFile& ini, const IntKey& key, int value) {
    return ini.WriteInteger(key.section, key.name, value);
}
Status Write(IniFile& ini, const BoolKey& key, bool value) {
    return ini.WriteBool(key.section, key.name, value);
}
Status Write(IniFile& ini, const TextKey& key, std::string_view value) {
    return ini.WriteString(key.section, key.name, value);
}

int Read(const IniFile& ini, const ItemKey<IntKey>& key, int n) {
    const Location at = Locate(key, n);
    return key.key.Clamp(ini.ReadInteger(at.section, at.name, key.key.fallback));
}
bool Read(const IniFile& ini, const ItemKey<BoolKey>& key, int n) {
    const Location at = Locate(key, n);
    return ini.ReadBool(at.section, at.name, key.key.fallback);
}
std::string Read(const IniFile& ini, const ItemKey<TextKey>& key, int n) {
    return Read(ini, key, n, key.key.fallback);
}
std::string Read(const IniFile& ini, const ItemKey<TextKey>& key, int n,
                 const std::string& fallback) {
    const Location at = Locate(key, n);
    return ini.ReadString(at.section, at.name, fallback);
}
Status Write(IniFile& ini, const ItemKey<IntKey>& key, int n, int value) {
    const Location at = Locate(key, n);
    return ini.WriteInteger(at.section, at.name, value);
}
Status Write(IniFile& ini, const ItemKey<BoolKey>& key, int n, bool value) {
    const Location at = Locate(key, n);
    return ini.WriteBool(at.section, at.name, value);
}
Status Write(IniFile& ini, const ItemKey<TextKey>& key, int n, std::string_view value) {
    const Location at = Locate(key, n);
    return ini.WriteString(at.section, at.name, value);
}

DdeServerNames ReadDdeServerNames(const IniFile& ini) {
    DdeServerNames names{Read(ini, kDdeServer), Read(ini, kDdeTopic), {}};
    const int count = Read(ini, kItemcount);
    for (int n = 1; n <= count; ++n) {
        std::string item = Read(ini, kItems, n);
        if (item != kItems.key.fallback) {
            names.items.push_back(std::move(item));
        }
    }
    return names;
}

std::string TableSection(int k) {
    return "Tabelle_" + std::to_string(k);
}

}  // namespace tarvedde::schema
