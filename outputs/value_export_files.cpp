// Value export files kept open; see the header.
#include "outputs/value_export_files.h"

namespace tarvedde {

Status ValueExportFiles::Append(const std::string& slot, const std::string& path,
                                std::string_view bytes) {
    auto it = kept_.find(slot);
    if (it != kept_.end() && (it->second.path != path || !StillOurs(it->second))) {
        kept_.erase(it);
        it = kept_.end();
    }
    if (it == kept_.end()) {
        if (kept_.size() + 1 > kMaxOpen) {  // no room left (always on Windows)
            return files_.Append(path, bytes);
        }
        auto opened = files_.OpenAppend(path);
        if (!opened) {
            return opened.error();
        }
        const auto stamp = files_.Stamp(path);
        it = kept_
                 .emplace(slot,
                          Kept{path, std::move(opened).value(), stamp ? stamp.value().size : 0})
                 .first;
    }
    Status appended = it->second.file->Append(bytes);
    if (!appended) {
        kept_.erase(it);
    } else {
        it->second.size += bytes.size();
    }
    return appended;
}

// The name may now lead to another file (deleted, moved away, replaced): its size tells,
// since only this program appends to it.
bool ValueExportFiles::StillOurs(const Kept& kept) const {
    const auto stamp = files_.Stamp(kept.path);
    return stamp && stamp.value().size == kept.size;
}

}  // namespace tarvedde
