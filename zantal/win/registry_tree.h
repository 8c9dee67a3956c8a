// The registry store's in-memory form and its text file. Key names compare
// without regard to case and keep the spelling they were created with;
// values keep their order of creation, subkeys are kept sorted.
#pragma once

#include "win/types.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win {

struct RegValue {
    std::string name;
    DWORD type = 0;
    std::string data; // raw bytes, a string's terminating zero included
};

struct RegNode {
    std::string name;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegNode>> children;

    RegNode* child(std::string_view childName) const;
    RegNode& addChild(std::string_view childName);
    bool removeChild(std::string_view childName);
    const RegValue* value(std::string_view valueName) const;
    void setValue(std::string_view valueName, DWORD type, std::string data);
    bool removeValue(std::string_view valueName);
};

// Splits "A\\B\\C" into its names; empty names (doubled or trailing
// separators) are dropped. Nothing for a name over 255 characters.
std::optional<std::vector<std::string>> splitKeyPath(std::string_view path);

// The text form: a version line, then per key one "key" line with its full
// path followed by one "val" line per value.
std::string serializeTree(const RegNode& root);
// Nothing when the text is not a store file of ours.
std::unique_ptr<RegNode> parseTree(std::string_view text);

} // namespace win
