// String handles as DDE has them: atoms. The same text, compared without regard to ASCII
// case, gives the same handle value while any reference to it lives; each create adds a
// reference, each free drops one. Handle values are never reused, so a stale handle never
// names another text. Loop thread only.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "sources/dde_transport.h"

namespace tarvedde {

class DdeAtomTable {
public:
    // 0 for an empty text, as DDEML refuses it.
    DdeHandle Add(const std::string& text);
    // False for a handle that does not name a live atom.
    bool Release(DdeHandle handle);
    // The text as first created; nullopt for an unknown handle.
    std::optional<std::string> Text(DdeHandle handle) const;
    // The live handle of a text without adding a reference; 0 when there is none.
    DdeHandle Find(const std::string& text) const;
    // The handle a notification carries: the live one, or a new atom that holds no
    // reference of the client's and stays until the table goes.
    DdeHandle ForNotification(const std::string& text);

private:
    struct Atom {
        std::string text;
        int references = 0;
    };
    std::map<std::string, DdeHandle> byKey_;
    std::map<DdeHandle, Atom> atoms_;
    DdeHandle next_ = 0xC000;  // where Windows' string atoms begin
};

// Upper-cases ASCII letters: the key under which names compare without regard to case.
std::string DdeNameKey(const std::string& text);

}  // namespace tarvedde
