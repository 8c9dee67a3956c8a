// The message boxes the main window shows: one text, one caption, an OK
// button and no icon each.
#pragma once

namespace kestrix {

struct Message {
    const char* text;
    const char* caption;
};

namespace messages {
inline constexpr Message noPortSelected{"No COM Port selected", "Error"};
inline constexpr Message cannotConnect{"Cannot connect to Module", "Error"};
inline constexpr Message cannotSwitchOff{"Cannot switchoff AutoExec", "Error"};
inline constexpr Message cannotClose{"Cannot close Module connection", "Error"};
inline constexpr Message switchedOff{"AutoExec successfully switched off", "Disable AutoExec"};
} // namespace messages

} // namespace kestrix
