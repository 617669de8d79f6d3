#include "platform/real_file_system.h"

#include <filesystem>
#include <system_error>

#include "platform/path_names.h"

namespace tarvedde {

Result<std::uint64_t> RealFileSystemBase::Size(const std::string& path) const {
    auto stamp = Stamp(path);
    if (!stamp) {
        return stamp.error();
    }
    return stamp.value().size;
}

Status RealFileSystemBase::CreateDirectory(const std::string& path) {
    std::error_code ec;
    std::filesystem::create_directories(PathFromUtf8(path), ec);
    if (ec) {
        return Error{"create directory " + path + ": " + ec.message()};
    }
    return Status::Ok();
}

}  // namespace tarvedde
