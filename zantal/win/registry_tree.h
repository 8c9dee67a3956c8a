// The registry store's in-memory form and its text file. Key names compare
// without regard to case and keep the spelling they were created with;
// values keep their order of creation, subkeys are kept sorted.
#pragma once

#include "win/types.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace win {

// What the system's registry allows, held to on every write so that the
// store never takes a form its reader refuses.
inline constexpr size_t kMaxKeyName = 255;
inline constexpr size_t kMaxKeyDepth = 512; // levels, the root key counted
inline constexpr size_t kMaxValueName = 16383;
inline constexpr size_t kMaxValueBytes = 1u << 20;
inline constexpr size_t kMaxStoreBytes = 64u << 20; // the store file's text

struct RegValue {
    std::string name;
    DWORD type = 0;
    std::string data; // raw bytes, a string's terminating zero included
};

struct RegNode {
    RegNode() = default;
    // Iterative: a deep store must not exhaust the stack on its way out.
    ~RegNode();
    RegNode(const RegNode&) = delete;
    RegNode& operator=(const RegNode&) = delete;

    std::string name;
    std::vector<RegValue> values;
    std::vector<std::unique_ptr<RegNode>> children;

    RegNode* child(std::string_view childName) const;
    RegNode& addChild(std::string_view childName);
    bool removeChild(std::string_view childName);
    const RegValue* value(std::string_view valueName) const;
    void setValue(std::string_view valueName, DWORD type, std::string data);
    bool removeValue(std::string_view valueName);
    void clearValues();

private:
    // Lower-case name to position in `values`, built once a key holds many,
    // so that a key of 200,000 values is filled in linear time.
    mutable std::unordered_map<std::string, size_t> valueIndex_;
    std::optional<size_t> findValue(std::string_view valueName) const;
};

// Splits "A\\B\\C" into its names; empty names (doubled or trailing
// separators) are dropped. Nothing for a name over 255 characters.
std::optional<std::vector<std::string>> splitKeyPath(std::string_view path);

// The text form: a version line, then per key one "key" line with its depth
// and its own name, followed by one "val" line per value, and an "end"
// line; the size grows with what the store holds, whatever the depth of its
// keys. The form of
// earlier versions (each key with its full path) is still read.
std::string serializeTree(const RegNode& root);
// Nothing when the text is not a store file of ours.
std::unique_ptr<RegNode> parseTree(std::string_view text);

} // namespace win
