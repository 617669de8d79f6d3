// Text-file helpers; see the header for what each guarantees.
#include "platform/text_file.h"

#include "platform/text_encoding.h"

namespace tarvedde {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += Utf8ToCp1252(line);
        bytes += kLineEnd;
    }
    return bytes;
}

}  // namespace

Status AppendLine(FileSystem& fs, const std::string& path, std::string_view utf8Line) {
    std::string bytes = Utf8ToCp1252(utf8Line);
    bytes += kLineEnd;
    return fs.Append(path, bytes);
}

Status AppendLines(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines) {
    return fs.Append(path, JoinLines(lines));
}

Result<std::vector<std::string>> ReadLines(const FileSystem& fs, const std::string& path) {
    auto bytes = fs.ReadAll(path);
    if (!bytes) {
        return bytes.error();
    }
    const std::string_view text = bytes.value();
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        lines.push_back(Cp1252ToUtf8(text.substr(start, end - start)));
        start = end + 1;
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n') {
            ++start;
        }
    }
    return lines;
}

Status WriteLines(FileSystem& fs, const std::string& path, const std::vector<std::string>& lines,
                  bool durable) {
    return WriteFileAtomic(fs, path, JoinLines(lines), durable);
}

Status WriteTextAtomic(FileSystem& fs, const std::string& path, std::string_view utf8Text,
                       bool durable) {
    return WriteFileAtomic(fs, path, Utf8ToCp1252(utf8Text), durable);
}

Status WriteFileAtomic(FileSystem& fs, const std::string& path, std::string_view bytes,
                       bool durable) {
    const std::string temporary = path + ".tmp";
    Status status = fs.WriteAll(temporary, bytes, durable);
    if (status) {
        status = fs.Rename(temporary, path);
    }
    if (!status) {
        (void)fs.Remove(temporary);
    }
    return status;
}

Status CreateEmptyFile(FileSystem& fs, const std::string& path) {
    return fs.Append(path, {});
}

bool DeleteIfExists(FileSystem& fs, const std::string& path) {
    if (fs.Remove(path)) {
        return true;
    }
    return !fs.Exists(path);
}

}  // namespace tarvedde
