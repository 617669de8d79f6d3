// TARVEDDE.INI, EICH.INI and the other INI files are edited by hand on plants.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ini_document.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tarvedde::IniDocument;
    const IniDocument document(std::string(reinterpret_cast<const char*>(data), size));
    // Every key the parser found can be changed, and the changed file reads back the value
    // without losing the other sections. All sections change in one pass: one parse per
    // section made an input of many short sections quadratic.
    const auto sections = document.SectionNames();
    std::vector<IniDocument::Value> changes;
    for (const std::string& section : sections) {
        const auto* entries = document.Entries(section);
        FUZZ_CHECK(entries != nullptr);
        if (!entries->empty()) {
            changes.push_back({section, entries->front().key, "4711"});
        }
    }
    const IniDocument changed(document.WithValues(changes));
    FUZZ_CHECK(changed.SectionNames().size() == sections.size());
    for (const IniDocument::Value& change : changes) {
        const std::string* value = changed.Find(change.section, change.key);
        FUZZ_CHECK(value != nullptr && *value == "4711");
    }
    // One change alone gives the bytes of the same change in a batch, read back above.
    if (!changes.empty()) {
        const IniDocument::Value& last = changes.back();
        FUZZ_CHECK(document.WithValue(last.section, last.key, last.value) ==
                   document.WithValues({&last, 1}));
    }
    (void)document.WithValue("Fuzz", "Neu", "1");
    if (!sections.empty()) {
        (void)document.WithoutSection(sections.back());
    }
    return 0;
}
