#include "bench/file_operations.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace tarvedde::bench {

bool SaveOperations(const std::string& file, const std::vector<FileOperation>& operations) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const FileOperation& op : operations) {
        out << static_cast<char>(op.kind) << ' ' << (op.durable ? 1 : 0) << ' ' << op.path.size()
            << ' ' << op.target.size() << ' ' << op.bytes.size() << '\n'
            << op.path << op.target << op.bytes;
    }
    return static_cast<bool>(out.flush());
}

std::optional<std::vector<FileOperation>> LoadOperations(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<FileOperation> operations;
    std::string header;
    while (std::getline(in, header)) {
        std::istringstream fields(header);
        char kind = 0;
        int durable = 0;
        std::size_t pathSize = 0, targetSize = 0, byteSize = 0;
        if (!(fields >> kind >> durable >> pathSize >> targetSize >> byteSize)) {
            return std::nullopt;
        }
        FileOperation op{static_cast<FileOperation::Kind>(kind), std::string(pathSize, '\0'),
                         std::string(targetSize, '\0'), std::string(byteSize, '\0'), durable != 0};
        in.read(op.path.data(), static_cast<std::streamsize>(pathSize));
        in.read(op.target.data(), static_cast<std::streamsize>(targetSize));
        in.read(op.bytes.data(), static_cast<std::streamsize>(byteSize));
        if (!in) {
            return std::nullopt;
        }
        operations.push_back(std::move(op));
    }
    return operations;
}

}  // namespace tarvedde::bench
