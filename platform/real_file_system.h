// What the real file systems of POSIX and Windows share; each system's half derives
// from it and makes the system calls.
#pragma once

#include "platform/file_system.h"

namespace tarvedde {

class RealFileSystemBase : public FileSystem {
public:
    Result<std::uint64_t> Size(const std::string& path) const final;
    Status CreateDirectory(const std::string& path) final;
};

}  // namespace tarvedde
