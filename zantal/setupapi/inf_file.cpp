#include "inf_file.h"

#include "setupapi.h"
#include "win/escape.h"

namespace zantal::inf {

namespace {

constexpr size_t kMaxSectionName = 255;

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint16_t le16(std::string_view bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

// Many driver INF files are stored as UTF-16LE; we read all as UTF-8.
std::string decode(std::string_view bytes)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    if (bytes.size() < 2 || bytes.substr(0, 2) != "\xFF\xFE") return std::string(bytes);
    std::string out;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = le16(bytes, i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t low = le16(bytes, i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return out;
}

// One field as written: its characters and which of them stood in quotes,
// so that blanks around a field go but quoted blanks stay.
struct RawField {
    std::string text;
    std::vector<bool> quoted;
    bool sawQuotes = false; // "" is an empty field, not a missing one

    void add(char c, bool inQuotes)
    {
        text += c;
        quoted.push_back(inQuotes);
    }

    std::string trimmed() const
    {
        auto blank = [&](size_t i) { return !quoted[i] && (text[i] == ' ' || text[i] == '\t'); };
        size_t begin = 0, end = text.size();
        while (begin < end && blank(begin)) ++begin;
        while (end > begin && blank(end - 1)) --end;
        return text.substr(begin, end - begin);
    }

    bool blankOnly() const { return !sawQuotes && trimmed().empty(); }

    // Drops a backslash that is the last unquoted, non-blank character.
    bool dropContinuation()
    {
        size_t end = text.size();
        while (end > 0 && !quoted[end - 1] && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
        if (end == 0 || quoted[end - 1] || text[end - 1] != '\\') return false;
        text.resize(end - 1);
        quoted.resize(end - 1);
        return true;
    }
};

struct RawLine {
    bool hasKey = false;
    RawField key;
    std::vector<RawField> fields;
};

RawLine tokenize(std::string_view text)
{
    RawLine line;
    line.fields.emplace_back();
    bool inQuotes = false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        RawField& field = line.fields.back();
        if (inQuotes) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field.add('"', true);
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field.add(c, true);
            }
        } else if (c == ';') {
            break;
        } else if (c == '"') {
            inQuotes = true;
            field.sawQuotes = true;
        } else if (c == '=' && !line.hasKey && line.fields.size() == 1) {
            line.hasKey = true;
            line.key = std::move(field);
            line.fields.back() = RawField{};
        } else if (c == ',') {
            line.fields.emplace_back();
        } else {
            field.add(c, false);
        }
    }
    return line;
}

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

struct PendingLine {
    std::optional<std::string> key;
    std::vector<std::string> fields;
};

struct PendingSection {
    std::string name;
    std::vector<PendingLine> lines;
};

const std::string* lookUpString(const std::vector<PendingSection>& sections, std::string_view key)
{
    for (const PendingSection& s : sections) {
        if (!win::equalsIgnoreCase(s.name, "Strings")) continue;
        for (const PendingLine& l : s.lines)
            if (l.key && win::equalsIgnoreCase(*l.key, key) && !l.fields.empty()) return &l.fields[0];
    }
    return nullptr;
}

std::string substitute(const std::string& text, const std::vector<PendingSection>& sections)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        size_t close = text.find('%', i + 1);
        if (close == std::string::npos) {
            out += text.substr(i);
            break;
        }
        if (close == i + 1) {
            out += '%';
        } else if (const std::string* value = lookUpString(sections, std::string_view(text).substr(i + 1, close - i - 1))) {
            out += *value;
        } else {
            out += text.substr(i, close - i + 1); // unknown keys stay as written
        }
        i = close;
    }
    return out;
}

} // namespace

std::optional<InfFile> InfFile::parse(std::string_view bytes, ParseError* error)
{
    const std::string text = decode(bytes);
    auto fail = [&](unsigned lineNumber, uint32_t code) -> std::optional<InfFile> {
        if (error) *error = ParseError{lineNumber, code};
        return std::nullopt;
    };

    std::vector<PendingSection> sections;
    std::string logical;
    unsigned lineNumber = 0, logicalStart = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string_view physical = trimBlanks(std::string_view(text).substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (logical.empty()) logicalStart = lineNumber;

        if (logical.empty() && !physical.empty() && physical.front() == '[') {
            size_t close = physical.find(']');
            if (close == std::string_view::npos) return fail(lineNumber, win::ERROR_BAD_SECTION_NAME_LINE);
            std::string_view name = trimBlanks(physical.substr(1, close - 1));
            if (name.size() > kMaxSectionName) return fail(lineNumber, win::ERROR_SECTION_NAME_TOO_LONG);
            sections.push_back(PendingSection{std::string(name), {}});
            continue;
        }
        logical += physical;
        RawLine raw = tokenize(logical);
        // A backslash ending the line (not in quotes, not in a comment)
        // joins the next line to it.
        if (!physical.empty() && physical.back() == '\\' && raw.fields.back().dropContinuation() &&
            pos <= text.size()) {
            logical.pop_back();
            continue;
        }
        logical.clear();
        if (!raw.hasKey && raw.fields.size() == 1 && raw.fields[0].blankOnly()) continue; // blank or comment
        if (sections.empty()) return fail(logicalStart, win::ERROR_EXPECTED_SECTION_NAME);
        PendingLine line;
        if (raw.hasKey) line.key = raw.key.trimmed();
        for (const RawField& f : raw.fields) line.fields.push_back(f.trimmed());
        sections.back().lines.push_back(std::move(line));
    }

    InfFile inf;
    for (const PendingSection& pending : sections) {
        Section* target = nullptr;
        for (Section& s : inf.sections_)
            if (win::equalsIgnoreCase(s.name, pending.name)) target = &s;
        if (!target) target = &inf.sections_.emplace_back(Section{pending.name, {}});
        const bool strings = win::equalsIgnoreCase(pending.name, "Strings");
        for (const PendingLine& p : pending.lines) {
            Line line;
            if (p.key) line.key = strings ? *p.key : substitute(*p.key, sections);
            for (const std::string& f : p.fields) line.fields.push_back(strings ? f : substitute(f, sections));
            target->lines.push_back(std::move(line));
        }
    }
    return inf;
}

const Section* InfFile::section(std::string_view name) const
{
    for (const Section& s : sections_)
        if (win::equalsIgnoreCase(s.name, name)) return &s;
    return nullptr;
}

std::string InfFile::value(std::string_view sectionName, std::string_view key) const
{
    if (const Section* s = section(sectionName))
        for (const Line& line : s->lines)
            if (line.key && win::equalsIgnoreCase(*line.key, key)) return field(line, 1).value_or("");
    return {};
}

std::optional<std::string> InfFile::field(const Line& line, size_t index)
{
    if (index == 0) return line.key.value_or(std::string());
    if (index > line.fields.size()) return std::nullopt;
    return line.fields[index - 1];
}

} // namespace zantal::inf
