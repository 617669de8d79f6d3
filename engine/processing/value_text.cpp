// Value texts as the data servers deliver them: a reading may come with a label before
// it and with line ends or other delimiters around it. Any bytes of any length are taken;
// the worst outcome is a text that is no number, which gives no value.
#include <string>

#include "engine/processing/per_value_processing.h"
#include "engine/processing/value_steps.h"
#include "platform/number_format.h"

namespace tarvedde {
namespace {

// Delphi's Delete(s, Pos(suffix, s), count): nothing when the suffix is empty or absent.
std::string EraseFromSuffix(std::string_view text, std::string_view suffix, std::size_t count) {
    const std::size_t at = suffix.empty() ? std::string_view::npos : text.find(suffix);
    if (at == std::string_view::npos) {
        return std::string(text);
    }
    std::string kept(text.substr(0, at));
    if (count < text.size() - at) {
        kept += text.substr(at + count);
    }
    return kept;
}

// Cuts a prefix and what precedes it as often as one occurs, and the suffix with what
// follows it. Positions count from 1 and 0 means "not found", as the end test expects.
// Each round searches only up to the next prefix, so a long run of them stays linear.
std::string CutPrefixAndSuffix(std::string_view text, std::string_view prefix,
                               std::string_view suffix) {
    constexpr std::size_t kSuffixTailLimit = 100;
    for (;;) {
        const std::size_t found = prefix.empty() ? std::string_view::npos : text.find(prefix);
        const long long position =
            found == std::string_view::npos ? 0 : static_cast<long long>(found) + 1;
        const long long suffixAtEnd =
            static_cast<long long>(text.size()) - static_cast<long long>(suffix.size()) + 1;
        if (position == suffixAtEnd) {
            return EraseFromSuffix(text, suffix, kSuffixTailLimit);
        }
        if (position == 0) {
            return EraseFromSuffix(text, suffix, std::string_view::npos);
        }
        text.remove_prefix(found + prefix.size());
    }
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    const std::size_t lastKept = text.find_last_not_of(' ');
    return text.substr(0, lastKept == std::string_view::npos ? 0 : lastKept + 1);
}

}  // namespace

// The delimiters are cut before the blanks: a blank before the suffix ("12,5 " CR LF)
// would otherwise keep only the suffix, and the reading would be lost.
std::string CleanValueText(std::string_view text, std::string_view prefix,
                           std::string_view suffix) {
    if (text.empty()) {
        return std::string();
    }
    const std::string cut = CutPrefixAndSuffix(TrimTrailingBlanks(text), prefix, suffix);
    std::string_view kept = TrimTrailingBlanks(cut);
    const std::size_t lastBlank = kept.rfind(' ');
    if (lastBlank != std::string_view::npos) {
        kept.remove_prefix(lastBlank + 1);
    }
    return std::string(kept);
}

double ParseValueText(std::string_view text, const Locale& locale) {
    return text.empty() ? 0.0 : ReadValueText(text, locale).value_or(-1.0);
}

std::optional<double> ReadValueText(std::string_view text, const Locale& locale) {
    if (text.empty()) {
        return std::nullopt;
    }
    const Result<double> parsed = StrToFloat(text, locale);
    return parsed ? std::optional<double>(parsed.value()) : std::nullopt;
}

}  // namespace tarvedde
