// The designed forms on screens and fonts they were not designed for: the
// main window stays where it was designed unless that would put part of it
// outside the work area, and the About panel grows by the comment lines
// that do not fit its designed label.
#include "form_fit.h"

#include <gtest/gtest.h>

namespace {

using kestrix::forms::Box;

struct Placement {
    const char* screen;
    Box workArea;
    int left;
    int top;
};

TEST(FormFit, TheMainWindowStaysAtItsDesignedPlaceUnlessItWouldLeaveTheWorkArea)
{
    // The window of 250 x 212 designed at 196, 539.
    const Placement cases[] = {
        {"1024 x 768 without a task bar", {0, 0, 1024, 768}, 196, 539},
        {"1920 x 1080 with a task bar below", {0, 0, 1920, 1040}, 196, 539},
        {"1024 x 768 with a task bar of 40 below", {0, 0, 1024, 728}, 196, 516},
        {"800 x 600", {0, 0, 800, 600}, 196, 388},
        {"a task bar of 40 on the left of a short screen", {40, 0, 984, 600}, 196, 388},
        {"a narrow screen", {0, 0, 400, 768}, 150, 539},
        {"a second screen left of the first", {-1280, 0, 1280, 1024}, -250, 539},
        {"a screen below the first", {0, 768, 1024, 768}, 196, 768},
        {"smaller than the window", {0, 0, 200, 150}, 0, 0},
        {"smaller than the window, task bar on top", {0, 30, 200, 150}, 0, 30},
    };
    for (const Placement& c : cases) {
        const Box placed = kestrix::forms::keepInside({196, 539, 250, 212}, c.workArea);
        EXPECT_EQ(placed.left, c.left) << c.screen;
        EXPECT_EQ(placed.top, c.top) << c.screen;
        EXPECT_EQ(placed.width, 250) << c.screen;
        EXPECT_EQ(placed.height, 212) << c.screen;
    }
}

TEST(FormFit, TheAboutPanelGrowsByTheCommentLinesThatDoNotFitTheDesignedLabel)
{
    // Designed: client 256 x 158, panel 241 x 105 at 8, 8, the comment of
    // 13 pixels at 80 inside it, OK at 95, 124.
    struct Case {
        int needed;
        int comments;
        int panel;
        int okTop;
        int client;
    };
    const Case cases[] = {
        {13, 13, 105, 124, 158},                          // one line in the designed face
        {11, 13, 105, 124, 158},                          // a smaller face keeps the design
        {0, 13, 105, 124, 158},  {26, 26, 118, 137, 171}, // wrapped to two lines of 13
        {28, 28, 120, 139, 173},                          // two lines of a taller face
        {39, 39, 131, 150, 184},
    };
    for (const Case& c : cases) {
        const kestrix::forms::AboutFit fit = kestrix::forms::fitAbout(c.needed);
        EXPECT_EQ(fit.commentsHeight, c.comments) << c.needed;
        EXPECT_EQ(fit.panelHeight, c.panel) << c.needed;
        EXPECT_EQ(fit.okButtonTop, c.okTop) << c.needed;
        EXPECT_EQ(fit.clientHeight, c.client) << c.needed;
        // The text keeps its designed 12 pixels from the panel's bottom, and
        // the button its 11 below the panel.
        EXPECT_EQ(fit.panelHeight - (80 + fit.commentsHeight), 12) << c.needed;
        EXPECT_EQ(fit.okButtonTop - (8 + fit.panelHeight), 11) << c.needed;
    }
}

} // namespace
