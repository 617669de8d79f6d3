// TARVEDDE.INI, EICH.INI and the other INI files are edited by hand on plants.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/ini_document.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarvedde::IniDocument document(std::string(reinterpret_cast<const char*>(data), size));
    // Every key the parser found can be changed, and the changed file reads back the value
    // without losing the other sections.
    const auto sections = document.SectionNames();
    for (const std::string& section : sections) {
        const auto* entries = document.Entries(section);
        FUZZ_CHECK(entries != nullptr);
        if (entries->empty()) {
            continue;
        }
        const std::string& key = entries->front().key;
        const tarvedde::IniDocument changed(document.WithValue(section, key, "4711"));
        const std::string* value = changed.Find(section, key);
        FUZZ_CHECK(value != nullptr && *value == "4711");
        FUZZ_CHECK(changed.SectionNames().size() == sections.size());
    }
    (void)document.WithValue("Fuzz", "Neu", "1");
    if (!sections.empty()) {
        (void)document.WithoutSection(sections.back());
    }
    return 0;
}
