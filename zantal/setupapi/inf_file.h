// A setup information (INF) file as read into memory: sections of lines,
// each line an optional key and its comma-separated fields, with quotes
// removed, %strkey% replaced from the [Strings] section and "%%" made one
// percent sign. Section names compare without regard to case; sections of
// one name are joined in file order.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace zantal::inf {

struct Line {
    std::optional<std::string> key;
    std::vector<std::string> fields; // field 1 onwards
};

struct Section {
    std::string name;
    std::vector<Line> lines;
};

struct ParseError {
    unsigned line = 0; // 1-based line of the file
    uint32_t code = 0; // a SetupAPI error code
};

class InfFile {
public:
    // Parses the text of a file (UTF-8 with or without byte order mark, or
    // UTF-16LE with one); on failure *error says where and why.
    static std::optional<InfFile> parse(std::string_view bytes, ParseError* error);

    const Section* section(std::string_view name) const;
    const std::vector<Section>& sections() const { return sections_; }

    // Field 1 of the first line with this key in the section, or "".
    std::string value(std::string_view sectionName, std::string_view key) const;

    // Field `index` of a line: 0 is the key (empty for a line without one).
    static std::optional<std::string> field(const Line& line, size_t index);

private:
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> index_; // lower-case name to section
};

} // namespace zantal::inf
