// profile_lines.cpp - splitting and classifying the lines of a profile file.
#include "profile_lines.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

ProfileLine Classify(std::string_view text, std::string_view ending, bool first) {
    ProfileLine line{text, ending, ProfileLineKind::Other, {}, {}};
    std::string_view body = text;
    if (first && body.starts_with(kUtf8Bom)) body.remove_prefix(kUtf8Bom.size());
    // A CR left over from a CR CR LF ending or a lone CR at the end counts as blank space.
    while (!body.empty() && body.back() == '\r') body.remove_suffix(1);
    const std::string_view trimmed = TrimBlanks(body);
    if (trimmed.empty()) {
        line.kind = ProfileLineKind::Blank;
    } else if (trimmed.front() == ';') {
        line.kind = ProfileLineKind::Comment;
    } else if (trimmed.front() == '[') {
        line.kind = ProfileLineKind::Section;
        std::string_view inner = trimmed.substr(1);
        const size_t close = inner.find(']');
        if (close != std::string_view::npos) inner = inner.substr(0, close);
        line.name = TrimBlanks(inner);
    } else if (const size_t eq = trimmed.find('='); eq != std::string_view::npos) {
        line.kind = ProfileLineKind::Key;
        line.name = TrimBlanks(trimmed.substr(0, eq));
        line.value = TrimBlanks(trimmed.substr(eq + 1));
    }
    return line;
}

}  // namespace

bool SameProfileName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string_view UnquoteProfileValue(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::vector<ProfileLine> SplitProfileLines(std::string_view content) {
    std::vector<ProfileLine> lines;
    size_t start = 0;
    while (start < content.size()) {
        const size_t lf = content.find('\n', start);
        size_t text_end = lf == std::string_view::npos ? content.size() : lf;
        const size_t line_end = lf == std::string_view::npos ? content.size() : lf + 1;
        if (lf != std::string_view::npos && text_end > start && content[text_end - 1] == '\r') --text_end;
        lines.push_back(Classify(content.substr(start, text_end - start),
                                 content.substr(text_end, line_end - text_end), lines.empty()));
        start = line_end;
    }
    return lines;
}
