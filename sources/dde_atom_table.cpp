// Atoms for DDE string handles; see dde_atom_table.h.
#include "sources/dde_atom_table.h"

namespace tarvedde {

std::string DdeNameKey(const std::string& text) {
    std::string key = text;
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

DdeHandle DdeAtomTable::Add(const std::string& text) {
    if (text.empty()) {
        return 0;
    }
    DdeHandle handle = ForNotification(text);
    ++atoms_[handle].references;
    return handle;
}

DdeHandle DdeAtomTable::ForNotification(const std::string& text) {
    std::string key = DdeNameKey(text);
    auto found = byKey_.find(key);
    if (found != byKey_.end()) {
        return found->second;
    }
    DdeHandle handle = next_++;
    byKey_.emplace(key, handle);
    atoms_.emplace(handle, Atom{text, 0});
    return handle;
}

bool DdeAtomTable::Release(DdeHandle handle) {
    auto found = atoms_.find(handle);
    if (found == atoms_.end() || found->second.references == 0) {
        return false;
    }
    if (--found->second.references == 0) {
        byKey_.erase(DdeNameKey(found->second.text));
        atoms_.erase(found);
    }
    return true;
}

std::optional<std::string> DdeAtomTable::Text(DdeHandle handle) const {
    auto found = atoms_.find(handle);
    if (found == atoms_.end()) {
        return std::nullopt;
    }
    return found->second.text;
}

DdeHandle DdeAtomTable::Find(const std::string& text) const {
    auto found = byKey_.find(DdeNameKey(text));
    return found == byKey_.end() ? 0 : found->second;
}

}  // namespace tarvedde
