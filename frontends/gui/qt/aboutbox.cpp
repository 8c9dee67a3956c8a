#include "aboutbox.h"

#include "form_look.h"
#include "forms.h"

#include <algorithm>

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace kestrix {
namespace {

namespace form = forms::aboutbox;

QLabel* makeLabel(QWidget* parent, const char* name, int left, int top)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromUtf8(name));
    label->move(left, top);
    return label;
}

void setLabelText(QLabel& label, const char* text)
{
    label.setText(QString::fromUtf8(text));
    label.adjustSize();
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName("AboutBox");
    setWindowTitle(QString::fromUtf8(form::caption));
    setFixedSize(form::clientWidth, form::clientHeight);
    applyFormLook(*this);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    // A lowered outer and a raised inner bevel: an etched line.
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setLineWidth(1);
    place(*Panel1, form::panel1);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    const QPixmap picture(":/kestrix/kestrix-32.png");
    ProgramIcon->setPixmap(picture);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setGeometry(form::programIcon.left, form::programIcon.top, picture.width(),
                             picture.height());

    ProductName = makeLabel(Panel1, "ProductName", form::productNameLeft, form::productNameTop);
    QFont productFont = formFont(form::productNamePixelHeight);
    productFont.setBold(true);
    ProductName->setFont(productFont);
    Copyright = makeLabel(Panel1, "Copyright", form::copyrightLeft, form::copyrightTop);
    Version = makeLabel(Panel1, "Version", form::versionLeft, form::versionTop);
    Comments = makeLabel(Panel1, "Comments", form::comments.left, form::comments.top);
    Comments->setWordWrap(true);

    OKButton = new QPushButton(QString::fromUtf8(form::okButtonCaption), this);
    OKButton->setObjectName("OKButton");
    place(*OKButton, form::okButton);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &TAboutBox::OKButtonClick);
    OKButton->setFocus();

    setLabelText(*ProductName, form::productNameText);
    setLabelText(*Copyright, form::copyrightText);
    setLabelText(*Version, form::versionText);
    // Fixed width: a text too long for one line wraps and the label grows.
    Comments->setText(QString::fromUtf8(form::commentsText));
    Comments->resize(
        form::comments.width,
        std::max(form::comments.height, Comments->heightForWidth(form::comments.width)));
}

void TAboutBox::Show()
{
    if (!isVisible())
        centreOnScreen();
    show();
    raise();
    activateWindow();
}

void TAboutBox::OKButtonClick()
{
    // The dialog's result is OK; it is hidden, not destroyed.
    accept();
}

void TAboutBox::centreOnScreen()
{
    const QWidget* anchor = parentWidget() ? parentWidget() : this;
    const QRect area = anchor->screen()->availableGeometry();
    move(area.center() - rect().center());
}

} // namespace kestrix
