// A text area the engine owns (the message list, the statistics texts) and a view only
// displays: append, count, read in order, clear. A view learns of changes through the
// listener; the model never knows what the view is.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarvedde {

class LinesModel {
public:
    using Listener = std::function<void()>;

    void Append(std::string line);
    void Clear();
    // Replaces the whole text; CR LF, LF or CR split it into lines.
    void SetText(std::string_view text);

    std::size_t Count() const { return lines_.size(); }
    bool Empty() const { return lines_.empty(); }
    const std::vector<std::string>& Lines() const { return lines_; }
    // The lines joined with CR LF, each line ended by CR LF.
    std::string Text() const;

    void SetListener(Listener listener) { listener_ = std::move(listener); }

private:
    void Changed() const;

    std::vector<std::string> lines_;
    Listener listener_;
};

}  // namespace tarvedde
