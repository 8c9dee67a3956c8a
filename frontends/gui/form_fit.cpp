#include "form_fit.h"

#include <algorithm>

namespace kestrix::forms {
namespace {

int keepSpanInside(int start, int length, int areaStart, int areaLength)
{
    // The far edge first, the near edge last: the near one wins when the
    // window is the larger.
    start = std::min(start, areaStart + areaLength - length);
    return std::max(start, areaStart);
}

} // namespace

Box keepInside(const Box& window, const Box& workArea)
{
    return {keepSpanInside(window.left, window.width, workArea.left, workArea.width),
            keepSpanInside(window.top, window.height, workArea.top, workArea.height), window.width,
            window.height};
}

AboutFit fitAbout(int commentsHeight)
{
    const int extra = std::max(0, commentsHeight - aboutbox::comments.height);
    return {aboutbox::comments.height + extra, aboutbox::panel1.height + extra,
            aboutbox::okButton.top + extra, aboutbox::clientHeight + extra};
}

} // namespace kestrix::forms
