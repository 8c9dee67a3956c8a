// The two windows as they were designed: places and sizes in pixels at
// 96 dpi, relative to the parent's client area, and every text they show.
// Kept apart from any toolkit so that each view (Qt now, Win32 later) draws
// the same forms.
#pragma once

namespace kestrix::forms {

struct Box {
    int left;
    int top;
    int width;
    int height;
};

// The one font both forms ask for. Systems without it substitute their
// nearest sans face at the same pixel height, which keeps the captions
// inside the controls drawn for it.
inline constexpr const char* fontFamily = "MS Sans Serif";
inline constexpr int fontPixelHeight = 11;

// Task bar text of the program.
inline constexpr const char* applicationTitle = "Autostart Off";

// Main window TDisableTool, unit "Disabletoolform".
namespace disabletool {
inline constexpr const char* caption = "Disable AutoExec";
// Outer frame as designed; the client area is what is left inside the
// original host's sizeable frame (4 pixels a side) and caption (19 pixels).
inline constexpr Box outer{196, 539, 250, 212};
inline constexpr int frameWidth = 4;
inline constexpr int captionHeight = 19;
inline constexpr int clientWidth = outer.width - 2 * frameWidth;
inline constexpr int clientHeight = outer.height - 2 * frameWidth - captionHeight;

inline constexpr Box groupBox1{8, 8, 225, 161};
inline constexpr const char* groupBox1Caption = "COM Port for Module";
inline constexpr Box about{112, 64, 105, 41}; // inside GroupBox1
inline constexpr const char* aboutCaption = "About";
inline constexpr Box portSelBox{16, 24, 97, 21};
inline constexpr int portSelItemHeight = 13;
inline constexpr Box startButton{120, 24, 105, 41};
inline constexpr const char* startButtonCaption = "AutoExec Off";
inline constexpr Box closeButton{120, 120, 105, 41};
inline constexpr const char* closeButtonCaption = "Close";
} // namespace disabletool

// About dialog TAboutBox.
namespace aboutbox {
inline constexpr const char* caption = "About";
inline constexpr int clientWidth = 256;
inline constexpr int clientHeight = 158;

inline constexpr Box panel1{8, 8, 241, 105};
// Inside Panel1; the labels take the size of their text.
inline constexpr Box programIcon{8, 8, 32, 32};
inline constexpr int productNameLeft = 56;
inline constexpr int productNameTop = 16;
inline constexpr int productNamePixelHeight = 16;
inline constexpr int copyrightLeft = 8;
inline constexpr int copyrightTop = 48;
inline constexpr int versionLeft = 8;
inline constexpr int versionTop = 64;
// Fixed width; the text wraps and the height follows it.
inline constexpr Box comments{8, 80, 225, 13};

inline constexpr Box okButton{95, 124, 75, 25};
inline constexpr const char* okButtonCaption = "OK";

// Constants of the program, not read from its version resource.
inline constexpr const char* productNameText = "Auto Exec Off";
inline constexpr const char* copyrightText = "Copyright (C) the cfckit developers";
inline constexpr const char* versionText = "Version 1.0.2";
inline constexpr const char* commentsText = "Java application auto execution is switched off";
} // namespace aboutbox

} // namespace kestrix::forms
