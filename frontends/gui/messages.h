// The message boxes the main window shows: one fixed text and caption each,
// an OK button, and the icon that goes with such a message. What went wrong
// in detail comes beside the fixed text, not in place of it.
#pragma once

namespace kestrix {

enum class MessageIcon { Information, Warning, Critical };

struct Message {
    const char* text;
    const char* caption;
    MessageIcon icon;
};

namespace messages {
inline constexpr Message noPortSelected{"No COM Port selected", "Error", MessageIcon::Warning};
inline constexpr Message cannotConnect{"Cannot connect to Module", "Error", MessageIcon::Critical};
inline constexpr Message cannotSwitchOff{"Cannot switchoff AutoExec", "Error",
                                         MessageIcon::Critical};
inline constexpr Message cannotClose{"Cannot close Module connection", "Error",
                                     MessageIcon::Critical};
inline constexpr Message switchedOff{"AutoExec successfully switched off", "Disable AutoExec",
                                     MessageIcon::Information};
} // namespace messages

} // namespace kestrix
