#include "inf_file.h"

#include "setupapi.h"
#include "win/escape.h"

#include "plat/byte_order.h"

#include <unordered_map>

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
    return plat::getLe16({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, at);
}

// Many driver INF files are stored as UTF-16LE; we read all as UTF-8. Text
// that is UTF-8 already is used where it lies.
std::string_view decode(std::string_view bytes, std::string& storage)
{
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return bytes.substr(3);
    if (bytes.size() < 2 || bytes.substr(0, 2) != "\xFF\xFE")
        return bytes;
    storage.reserve(bytes.size());
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        uint32_t unit = le16(bytes, i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t low = le16(bytes, i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(storage, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(storage, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return storage;
}

bool blankChar(char c)
{
    return c == ' ' || c == '\t';
}

// One field as it is read: blanks around it go, quoted blanks stay. Leading
// unquoted blanks are never taken in; `kept` is the length up to the last
// character that is quoted or not blank.
struct FieldBuilder {
    std::string text;
    size_t kept = 0;
    size_t keptBefore = 0; // `kept` before the last kept character
    bool lastKeptQuoted = false;
    bool sawQuotes = false; // "" is an empty field, not a missing one

    void add(char c, bool inQuotes)
    {
        const bool isBlank = !inQuotes && blankChar(c);
        if (isBlank && kept == 0)
            return;
        text += c;
        if (!isBlank) {
            keptBefore = kept;
            kept = text.size();
            lastKeptQuoted = inQuotes;
        }
    }

    std::string take()
    {
        text.resize(kept);
        std::string out = std::move(text);
        *this = FieldBuilder{};
        return out;
    }

    bool blankOnly() const { return !sawQuotes && kept == 0; }

    // Drops a backslash that is the last unquoted, non-blank character.
    bool dropContinuation()
    {
        if (kept == 0 || lastKeptQuoted || text[kept - 1] != '\\')
            return false;
        text.resize(kept - 1);
        kept = keptBefore;
        return true;
    }
};

// A logical line read character by character, across the physical lines
// that continuation backslashes join, each character looked at once.
class LineBuilder {
public:
    void feed(std::string_view text)
    {
        fed_ += text.size();
        for (size_t i = 0; i < text.size() && !inComment_; ++i) {
            const char c = text[i];
            if (inQuotes_) {
                if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    current_.add('"', true);
                    ++i;
                } else if (c == '"') {
                    inQuotes_ = false;
                } else {
                    current_.add(c, true);
                }
            } else if (c == ';') {
                inComment_ = true;
            } else if (c == '"') {
                inQuotes_ = true;
                current_.sawQuotes = true;
            } else if (c == '=' && !hasKey_ && fields_.empty()) {
                hasKey_ = true;
                key_ = current_.take();
            } else if (c == ',') {
                fields_.push_back(current_.take());
            } else {
                current_.add(c, false);
            }
        }
    }

    // At the end of a physical line: true when a backslash joins the next.
    bool continues()
    {
        if (inComment_ || !current_.dropContinuation())
            return false;
        --fed_;
        return true;
    }

    bool empty() const { return !hasKey_ && fields_.empty() && current_.blankOnly(); }
    // Whether text of this logical line was read; a line that held only a
    // continuation backslash leaves none, and the next may name a section.
    bool started() const { return fed_ > 0; }

    Line take()
    {
        Line line;
        if (hasKey_)
            line.key = std::move(key_);
        fields_.push_back(current_.take());
        line.fields.reserve(fields_.size());
        for (std::string& f : fields_)
            line.fields.push_back(std::move(f));
        *this = LineBuilder{};
        return line;
    }

    void reset() { *this = LineBuilder{}; }

private:
    size_t fed_ = 0;
    bool inQuotes_ = false;
    bool inComment_ = false;
    bool hasKey_ = false;
    std::string key_;
    std::vector<std::string> fields_;
    FieldBuilder current_;
};

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

using StringTable = std::unordered_map<std::string, std::string>;

void substitute(std::string& text, const StringTable& strings)
{
    if (text.find('%') == std::string::npos)
        return;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        size_t close = text.find('%', i + 1);
        if (close == std::string::npos) {
            out.append(text, i, std::string::npos);
            break;
        }
        if (close == i + 1) {
            out += '%';
        } else if (auto it = strings.find(
                       win::toLower(std::string_view(text).substr(i + 1, close - i - 1)));
                   it != strings.end()) {
            out += it->second;
        } else {
            out.append(text, i, close - i + 1); // unknown keys stay as written
        }
        i = close;
    }
    text = std::move(out);
}

} // namespace

std::optional<InfFile> InfFile::parse(std::string_view bytes, ParseError* error)
{
    std::string storage;
    const std::string_view text = decode(bytes, storage);
    auto fail = [&](unsigned lineNumber, uint32_t code) -> std::optional<InfFile> {
        if (error)
            *error = ParseError{lineNumber, code};
        return std::nullopt;
    };

    // Sections of one name are joined as they are read: each line goes
    // straight to its section, found by name in constant time.
    InfFile inf;
    Section* current = nullptr;
    LineBuilder logical;
    unsigned lineNumber = 0, logicalStart = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view physical = trimBlanks(text.substr(pos, end - pos));
        pos = end + 1;
        ++lineNumber;
        if (!logical.started())
            logicalStart = lineNumber;

        if (!logical.started() && !physical.empty() && physical.front() == '[') {
            size_t close = physical.find(']');
            if (close == std::string_view::npos)
                return fail(lineNumber, win::ERROR_BAD_SECTION_NAME_LINE);
            std::string_view name = trimBlanks(physical.substr(1, close - 1));
            if (name.size() > kMaxSectionName)
                return fail(lineNumber, win::ERROR_SECTION_NAME_TOO_LONG);
            auto [at, added] = inf.index_.emplace(win::toLower(name), inf.sections_.size());
            if (added)
                inf.sections_.push_back(Section{std::string(name), {}});
            current = &inf.sections_[at->second];
            continue;
        }
        logical.feed(physical);
        // A backslash ending the line (not in quotes, not in a comment)
        // joins the next line to it.
        // At the end of the file the backslash is dropped all the same.
        if (!physical.empty() && physical.back() == '\\' && logical.continues() &&
            pos <= text.size())
            continue;
        if (logical.empty()) { // blank or comment
            logical.reset();
            continue;
        }
        if (!current)
            return fail(logicalStart, win::ERROR_EXPECTED_SECTION_NAME);
        current->lines.push_back(logical.take());
    }

    // %key% is replaced from the first [Strings] line of that key, in every
    // section but [Strings] itself.
    StringTable strings;
    const auto stringsAt = inf.index_.find("strings");
    if (stringsAt != inf.index_.end())
        for (const Line& l : inf.sections_[stringsAt->second].lines)
            if (l.key && !l.fields.empty())
                strings.emplace(win::toLower(*l.key), l.fields[0]);
    for (size_t i = 0; i < inf.sections_.size(); ++i) {
        if (stringsAt != inf.index_.end() && i == stringsAt->second)
            continue;
        for (Line& line : inf.sections_[i].lines) {
            if (line.key)
                substitute(*line.key, strings);
            for (std::string& f : line.fields)
                substitute(f, strings);
        }
    }
    for (Section& s : inf.sections_)
        s.lines.shrink_to_fit();
    return inf;
}

const Section* InfFile::section(std::string_view name) const
{
    auto at = index_.find(win::toLower(name));
    return at == index_.end() ? nullptr : &sections_[at->second];
}

std::string InfFile::value(std::string_view sectionName, std::string_view key) const
{
    if (const Section* s = section(sectionName))
        for (const Line& line : s->lines)
            if (line.key && win::equalsIgnoreCase(*line.key, key))
                return field(line, 1).value_or("");
    return {};
}

std::optional<std::string> InfFile::field(const Line& line, size_t index)
{
    if (index == 0)
        return line.key.value_or(std::string());
    if (index > line.fields.size())
        return std::nullopt;
    return line.fields[index - 1];
}

} // namespace zantal::inf
