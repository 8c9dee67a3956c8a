#include "registry_tree.h"

#include "win/escape.h"
#include "win/store.h"

#include <algorithm>
#include <charconv>

namespace win {

namespace {

constexpr std::string_view kHeaderFullPaths = "ZANTAL-REGISTRY 1";
constexpr std::string_view kHeader = "ZANTAL-REGISTRY 2";
// The last line of the file: a store cut short by a full disk or a copy is
// told from one that holds less.
constexpr std::string_view kEnd = "end";
// Values in a key before their names are indexed.
constexpr size_t kIndexFrom = 16;
// The old form repeats each key's full path, so a store it can hold within
// the size bound is at most a few thousand levels deep; a deeper one is not
// a store of ours.
constexpr size_t kMaxReadDepth = 16384;

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The order of toLower(a) < toLower(b), without making the copies.
bool lessIgnoreCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(lowerAscii(a[i]));
        const auto y = static_cast<unsigned char>(lowerAscii(b[i]));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

// Tokens carry a leading ':' so that an empty name or empty data is still a
// visible token.
void appendToken(std::string& out, std::string_view bytes)
{
    out += ':';
    out += escapeBytes(bytes);
}

std::optional<std::string> untoken(std::string_view text)
{
    if (text.empty() || text[0] != ':')
        return std::nullopt;
    return unescapeBytes(text.substr(1));
}

void writeValues(const RegNode& node, std::string& out)
{
    for (const RegValue& v : node.values) {
        out += "val ";
        out += std::to_string(v.type);
        out += ' ';
        appendToken(out, v.name);
        out += ' ';
        appendToken(out, v.data);
        out += '\n';
    }
}

std::vector<std::string_view> splitBlanks(std::string_view line)
{
    std::vector<std::string_view> parts;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string_view::npos)
            end = line.size();
        parts.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return parts;
}

template <class T>
bool parseNumber(std::string_view text, T& number)
{
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    return ec == std::errc() && ptr == text.data() + text.size();
}

bool parseValueLine(const std::vector<std::string_view>& parts, RegNode* current)
{
    if (parts.size() != 4 || parts[0] != "val" || !current)
        return false;
    DWORD type = 0;
    auto name = untoken(parts[2]);
    auto data = untoken(parts[3]);
    if (!parseNumber(parts[1], type) || !name || !data)
        return false;
    current->setValue(*name, type, std::move(*data));
    return true;
}

} // namespace

RegNode::~RegNode()
{
    std::vector<std::unique_ptr<RegNode>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<RegNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& c : node->children)
            pending.push_back(std::move(c));
        node->children.clear();
    }
}

RegNode* RegNode::child(std::string_view childName) const
{
    auto at = std::lower_bound(children.begin(), children.end(), childName,
                               [](const std::unique_ptr<RegNode>& c, std::string_view n) {
                                   return lessIgnoreCase(c->name, n);
                               });
    if (at != children.end() && equalsIgnoreCase((*at)->name, childName))
        return at->get();
    return nullptr;
}

RegNode& RegNode::addChild(std::string_view childName)
{
    // Keys arrive sorted when a store is read: the end is the usual place.
    if (children.empty() || lessIgnoreCase(children.back()->name, childName)) {
        auto node = std::make_unique<RegNode>();
        node->name = std::string(childName);
        children.push_back(std::move(node));
        return *children.back();
    }
    auto at = std::lower_bound(children.begin(), children.end(), childName,
                               [](const std::unique_ptr<RegNode>& c, std::string_view n) {
                                   return lessIgnoreCase(c->name, n);
                               });
    if (at != children.end() && equalsIgnoreCase((*at)->name, childName))
        return **at;
    auto node = std::make_unique<RegNode>();
    node->name = std::string(childName);
    return **children.insert(at, std::move(node));
}

bool RegNode::removeChild(std::string_view childName)
{
    auto it = std::find_if(children.begin(), children.end(),
                           [&](const auto& c) { return equalsIgnoreCase(c->name, childName); });
    if (it == children.end())
        return false;
    children.erase(it);
    return true;
}

std::optional<size_t> RegNode::findValue(std::string_view valueName) const
{
    if (values.size() < kIndexFrom) {
        for (size_t i = 0; i < values.size(); ++i)
            if (equalsIgnoreCase(values[i].name, valueName))
                return i;
        return std::nullopt;
    }
    if (valueIndex_.size() != values.size()) {
        valueIndex_.clear();
        for (size_t i = 0; i < values.size(); ++i)
            valueIndex_.emplace(toLower(values[i].name), i);
    }
    auto it = valueIndex_.find(toLower(valueName));
    if (it == valueIndex_.end())
        return std::nullopt;
    return it->second;
}

const RegValue* RegNode::value(std::string_view valueName) const
{
    auto at = findValue(valueName);
    return at ? &values[*at] : nullptr;
}

void RegNode::setValue(std::string_view valueName, DWORD type, std::string data)
{
    if (auto at = findValue(valueName)) {
        values[*at].type = type;
        values[*at].data = std::move(data);
        return;
    }
    values.push_back(RegValue{std::string(valueName), type, std::move(data)});
    if (!valueIndex_.empty())
        valueIndex_.emplace(toLower(valueName), values.size() - 1);
}

bool RegNode::removeValue(std::string_view valueName)
{
    auto at = findValue(valueName);
    if (!at)
        return false;
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(*at));
    valueIndex_.clear();
    return true;
}

void RegNode::clearValues()
{
    values.clear();
    valueIndex_.clear();
}

std::optional<std::vector<std::string>> splitKeyPath(std::string_view path)
{
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos <= path.size()) {
        size_t end = path.find('\\', pos);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view name = path.substr(pos, end - pos);
        if (name.size() > kMaxKeyName)
            return std::nullopt;
        if (!name.empty())
            names.emplace_back(name);
        pos = end + 1;
    }
    return names;
}

std::string serializeTree(const RegNode& root)
{
    std::string out(kHeader);
    out += '\n';
    // Depth first without recursion: (node, depth) pairs, children pushed
    // in reverse so that they come out in their order.
    std::vector<std::pair<const RegNode*, size_t>> pending;
    for (auto it = root.children.rbegin(); it != root.children.rend(); ++it)
        pending.emplace_back(it->get(), 1);
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        out += "key ";
        out += std::to_string(depth);
        out += ' ';
        appendToken(out, node->name);
        out += '\n';
        writeValues(*node, out);
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            pending.emplace_back(it->get(), depth + 1);
    }
    out += kEnd;
    out += '\n';
    return out;
}

std::unique_ptr<RegNode> parseTree(std::string_view text)
{
    const bool fullPaths =
        text.substr(0, kHeaderFullPaths.size() + 1) == std::string(kHeaderFullPaths) + "\n";
    auto root = std::make_unique<RegNode>();
    RegNode* current = nullptr;
    std::vector<RegNode*> stack; // the keys above the current one
    bool ended = false;
    const auto onLine = [&](std::string_view line) {
        if (ended)
            return false;
        if (!fullPaths && line == kEnd)
            return ended = true;
        auto parts = splitBlanks(line);
        if (parts.empty())
            return false;
        if (fullPaths && parts.size() == 2 && parts[0] == "key") {
            auto path = untoken(parts[1]);
            auto names = path ? splitKeyPath(*path) : std::nullopt;
            if (!names || names->empty() || names->size() > kMaxReadDepth)
                return false;
            current = root.get();
            for (const std::string& name : *names)
                current = &current->addChild(name);
            return true;
        }
        if (!fullPaths && parts.size() == 3 && parts[0] == "key") {
            size_t depth = 0;
            auto name = untoken(parts[2]);
            if (!parseNumber(parts[1], depth) || depth == 0 || depth > stack.size() + 1 ||
                depth > kMaxReadDepth || !name || name->empty() || name->size() > kMaxKeyName ||
                name->find('\\') != std::string::npos)
                return false;
            stack.resize(depth - 1);
            RegNode* parent = stack.empty() ? root.get() : stack.back();
            current = &parent->addChild(*name);
            stack.push_back(current);
            return true;
        }
        return parseValueLine(parts, current);
    };
    const bool parsed = forEachStoreLine(text, fullPaths ? kHeaderFullPaths : kHeader, onLine);
    return parsed && (fullPaths || ended) ? std::move(root) : nullptr;
}

} // namespace win
