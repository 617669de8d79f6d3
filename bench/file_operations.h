// The file operations of one acquisition cycle as the floor program replays them: what a
// client that did nothing but write its output would cost. Stored as a small binary file
// (a header line per operation, then its path, target and bytes), standard library only,
// so the floor program needs nothing of the client.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarvedde::bench {

struct FileOperation {
    // Scratch: written over in place; Swap: the two names exchanged (FileSystem::SwapInto).
    enum class Kind : char {
        Write = 'W',
        Append = 'A',
        Remove = 'D',
        Rename = 'R',
        Scratch = 'S',
        Swap = 'X'
    };
    Kind kind = Kind::Write;
    // Relative to the program directory (absolute when it lay outside).
    std::string path;
    std::string target;  // Rename and Swap
    std::string bytes;   // Write, Scratch and Append
    bool durable = false;
};

bool SaveOperations(const std::string& file, const std::vector<FileOperation>& operations);
// nullopt when the file is missing or damaged.
std::optional<std::vector<FileOperation>> LoadOperations(const std::string& file);

}  // namespace tarvedde::bench
