#include "form_look.h"

#include <QFontMetrics>
#include <QPalette>
#include <QWidget>

namespace kestrix {
namespace {

// Narrower than this reads badly; a text that still does not fit wraps.
constexpr int narrowestStretch = 70;

// The stretch at which the substitute face fits the design, found once.
int fittingStretch()
{
    static const int stretch = [] {
        QFont font(QString::fromUtf8(forms::fontFamily));
        font.setStyleHint(QFont::SansSerif);
        font.setPixelSize(forms::fontPixelHeight);
        const QString longest = QString::fromUtf8(forms::aboutbox::commentsText);
        int fitting = QFont::Unstretched;
        for (; fitting > narrowestStretch; --fitting) {
            font.setStretch(fitting);
            if (QFontMetrics(font).horizontalAdvance(longest) <= forms::aboutbox::comments.width)
                break;
        }
        return fitting;
    }();
    return stretch;
}

} // namespace

QFont formFont(int pixelHeight)
{
    QFont font(QString::fromUtf8(forms::fontFamily));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelHeight);
    font.setStretch(fittingStretch());
    return font;
}

void applyFormLook(QWidget& form)
{
    form.setFont(formFont(forms::fontPixelHeight));
    QPalette palette = form.palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    form.setPalette(palette);
    form.setAutoFillBackground(true);
}

void place(QWidget& control, const forms::Box& box)
{
    control.setGeometry(box.left, box.top, box.width, box.height);
}

} // namespace kestrix
