// Path names as the program's files and settings spell them. On Windows a path may use
// '\' as well as '/', and "C:..." or "\\server\..." is absolute; on POSIX only '/' is
// a separator and only a leading '/' makes a path absolute.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarvedde {

bool IsPathSeparator(char c);
bool IsAbsolutePath(std::string_view path);
// The part after the last separator; the whole path when it has none.
std::string FileNameOf(std::string_view path);
// Appends '/' unless the path already ends with a separator ("" gives "/").
std::string WithTrailingSeparator(std::string path);

// std::filesystem reads narrow strings in the Windows code page; these keep UTF-8.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

}  // namespace tarvedde
