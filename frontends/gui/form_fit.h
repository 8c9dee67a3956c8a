// The designed forms on the screen and with the font they actually meet:
// each designed place and size stands wherever it fits, and gives way only
// as far as it has to.
#pragma once

#include "forms.h"

namespace kestrix::forms {

// The window's outer box moved just far enough to lie inside the work area
// (the screen less its task bar). A window larger than the area keeps its
// top-left corner inside it, so that the caption stays reachable.
Box keepInside(const Box& window, const Box& workArea);

// The About dialog when its comment label needs `commentsHeight` pixels
// (the text wrapped at the label's fixed width, in the font the system
// chose): as designed when the text fits the label's designed height, else
// the panel, and with it the OK button and the client area, lengthened by
// the lines that do not, so that the text keeps its designed distance from
// the panel's border.
struct AboutFit {
    int commentsHeight;
    int panelHeight;
    int okButtonTop;
    int clientHeight;
};
AboutFit fitAbout(int commentsHeight);

} // namespace kestrix::forms
