// Value export files kept open; see the header.
#include "outputs/value_export_files.h"

namespace tarvedde {

Status ValueExportFiles::Append(const std::string& slot, const std::string& path,
                                std::string_view bytes) {
    auto it = kept_.find(slot);
    if (it != kept_.end() && (it->second.path != path || !files_.Exists(path))) {
        kept_.erase(it);
        it = kept_.end();
    }
    if (it == kept_.end()) {
        if (kept_.size() >= kMaxOpen) {
            return files_.Append(path, bytes);
        }
        auto opened = files_.OpenAppend(path);
        if (!opened) {
            return opened.error();
        }
        it = kept_.emplace(slot, Kept{path, std::move(opened).value()}).first;
    }
    Status appended = it->second.file->Append(bytes);
    if (!appended) {
        kept_.erase(it);
    }
    return appended;
}

}  // namespace tarvedde
