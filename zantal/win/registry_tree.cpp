#include "registry_tree.h"

#include "win/escape.h"
#include "win/store.h"

#include <algorithm>
#include <charconv>

namespace win {

namespace {

constexpr std::string_view kHeader = "ZANTAL-REGISTRY 1";
constexpr size_t kMaxKeyName = 255;

bool lessIgnoreCase(std::string_view a, std::string_view b)
{
    return toLower(a) < toLower(b);
}

// Tokens carry a leading ':' so that an empty name or empty data is still a
// visible token.
std::string token(std::string_view bytes)
{
    return ":" + escapeBytes(bytes);
}

std::optional<std::string> untoken(std::string_view text)
{
    if (text.empty() || text[0] != ':') return std::nullopt;
    return unescapeBytes(text.substr(1));
}

void writeNode(const RegNode& node, const std::string& path, std::string& out)
{
    if (!path.empty()) {
        out += "key " + token(path) + "\n";
        for (const RegValue& v : node.values)
            out += "val " + std::to_string(v.type) + " " + token(v.name) + " " + token(v.data) + "\n";
    }
    for (const auto& child : node.children)
        writeNode(*child, path.empty() ? child->name : path + "\\" + child->name, out);
}

std::vector<std::string_view> splitBlanks(std::string_view line)
{
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string_view::npos) end = line.size();
        parts.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

} // namespace

RegNode* RegNode::child(std::string_view childName) const
{
    for (const auto& c : children)
        if (equalsIgnoreCase(c->name, childName)) return c.get();
    return nullptr;
}

RegNode& RegNode::addChild(std::string_view childName)
{
    if (RegNode* existing = child(childName)) return *existing;
    auto node = std::make_unique<RegNode>();
    node->name = std::string(childName);
    auto at = std::lower_bound(children.begin(), children.end(), childName,
                               [](const std::unique_ptr<RegNode>& c, std::string_view n) {
                                   return lessIgnoreCase(c->name, n);
                               });
    return **children.insert(at, std::move(node));
}

bool RegNode::removeChild(std::string_view childName)
{
    auto it = std::find_if(children.begin(), children.end(),
                           [&](const auto& c) { return equalsIgnoreCase(c->name, childName); });
    if (it == children.end()) return false;
    children.erase(it);
    return true;
}

const RegValue* RegNode::value(std::string_view valueName) const
{
    for (const RegValue& v : values)
        if (equalsIgnoreCase(v.name, valueName)) return &v;
    return nullptr;
}

void RegNode::setValue(std::string_view valueName, DWORD type, std::string data)
{
    for (RegValue& v : values) {
        if (equalsIgnoreCase(v.name, valueName)) {
            v.type = type;
            v.data = std::move(data);
            return;
        }
    }
    values.push_back(RegValue{std::string(valueName), type, std::move(data)});
}

bool RegNode::removeValue(std::string_view valueName)
{
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const RegValue& v) { return equalsIgnoreCase(v.name, valueName); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

std::optional<std::vector<std::string>> splitKeyPath(std::string_view path)
{
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find('\\', pos);
        if (end == std::string_view::npos) end = path.size();
        std::string_view name = path.substr(pos, end - pos);
        if (name.size() > kMaxKeyName) return std::nullopt;
        if (!name.empty()) names.emplace_back(name);
        pos = end + 1;
    }
    return names;
}

std::string serializeTree(const RegNode& root)
{
    std::string out(kHeader);
    out += '\n';
    writeNode(root, {}, out);
    return out;
}

std::unique_ptr<RegNode> parseTree(std::string_view text)
{
    auto root = std::make_unique<RegNode>();
    RegNode* current = nullptr;
    const bool parsed = forEachStoreLine(text, kHeader, [&](std::string_view line) {
        auto parts = splitBlanks(line);
        if (parts.size() == 2 && parts[0] == "key") {
            auto path = untoken(parts[1]);
            auto names = path ? splitKeyPath(*path) : std::nullopt;
            if (!names || names->empty()) return false;
            current = root.get();
            for (const std::string& name : *names) current = &current->addChild(name);
            return true;
        }
        if (parts.size() != 4 || parts[0] != "val" || !current) return false;
        DWORD type = 0;
        auto [ptr, ec] = std::from_chars(parts[1].data(), parts[1].data() + parts[1].size(), type);
        auto name = untoken(parts[2]);
        auto data = untoken(parts[3]);
        if (ec != std::errc() || ptr != parts[1].data() + parts[1].size() || !name || !data) return false;
        current->setValue(*name, type, std::move(*data));
        return true;
    });
    return parsed ? std::move(root) : nullptr;
}

} // namespace win
