// What both forms share in Qt: the designed font and the button-face
// background, and placing a control on its designed box.
#pragma once

#include "forms.h"

#include <QFont>

class QWidget;

namespace kestrix {

// The forms' font at a pixel height. The family is missing on Linux, where
// fontconfig substitutes its nearest sans face; that face is narrowed as far
// as the design's longest one-line text needs to fit the width drawn for it
// (a face as narrow as the original is left as it is).
QFont formFont(int pixelHeight);

void applyFormLook(QWidget& form);

void place(QWidget& control, const forms::Box& box);

} // namespace kestrix
