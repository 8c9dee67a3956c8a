#include "disabletoolform.h"

#include "aboutbox.h"
#include "form_look.h"
#include "forms.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSize>

#include <functional>

namespace kestrix {
namespace {

namespace form = forms::disabletool;

// The port list, read again each time it is opened: adapters come and go
// while the window is up.
class PortComboBox final : public QComboBox {
public:
    PortComboBox(QWidget* parent, std::function<void()> opening)
        : QComboBox(parent), opening_(std::move(opening))
    {
    }

    void showPopup() override
    {
        if (opening_)
            opening_();
        QComboBox::showPopup();
    }

private:
    std::function<void()> opening_;
};

QMessageBox::Icon iconOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption,
                        const forms::Box& box)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromUtf8(name));
    place(*button, box);
    return button;
}

} // namespace

TDisableTool::TDisableTool(ModuleLibrary& library, const PortProbe& portPresent)
{
    setObjectName("DisableTool");
    setWindowTitle(QString::fromUtf8(form::caption));
    applyFormLook(*this);
    resize(form::clientWidth, form::clientHeight);
    move(form::outer.left, form::outer.top);

    // In the order of their declaration, so that the later ones lie above
    // the group box they stand in.
    GroupBox1 = new QGroupBox(QString::fromUtf8(form::groupBox1Caption), this);
    GroupBox1->setObjectName("GroupBox1");
    place(*GroupBox1, form::groupBox1);
    About = makeButton(GroupBox1, "About", form::aboutCaption, form::about);

    PortSelBox = new PortComboBox(this, [this] {
        if (presenter_)
            presenter_->PortListOpening();
    });
    PortSelBox->setObjectName("PortSelBox");
    PortSelBox->setEditable(true);
    place(*PortSelBox, form::portSelBox);
    // Typed text never selects a port. Qt would complete it, add it as an
    // item, or select the item it matches when Enter is pressed or the
    // field is left; the form does none of that.
    PortSelBox->setInsertPolicy(QComboBox::NoInsert);
    PortSelBox->setCompleter(nullptr);
    QObject::disconnect(PortSelBox->lineEdit(), &QLineEdit::returnPressed, PortSelBox, nullptr);
    QObject::disconnect(PortSelBox->lineEdit(), &QLineEdit::editingFinished, PortSelBox, nullptr);

    StartButton = makeButton(this, "StartButton", form::startButtonCaption, form::startButton);
    CloseButton = makeButton(this, "CloseButton", form::closeButtonCaption, form::closeButton);

    setTabOrder(StartButton, CloseButton);
    setTabOrder(CloseButton, PortSelBox);
    setTabOrder(PortSelBox, About);
    StartButton->setFocus();

    presenter_ = std::make_unique<DisableToolPresenter>(*this, library, portPresent);

    connect(About, &QPushButton::clicked, this, [this] { presenter_->AboutClick(); });
    connect(PortSelBox, &QComboBox::activated, this, [this] { presenter_->SelectPort(); });
    connect(StartButton, &QPushButton::clicked, this, [this] { presenter_->AutoStartOff(); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { presenter_->CloseApp(); });
}

TDisableTool::~TDisableTool()
{
    // While the whole window still stands: a running switch-off may still
    // post its end to it.
    presenter_.reset();
}

void TDisableTool::setPortItems(const std::vector<std::string>& names)
{
    PortSelBox->clear();
    for (const std::string& name : names) {
        PortSelBox->addItem(QString::fromStdString(name));
        PortSelBox->setItemData(PortSelBox->count() - 1, QSize(0, form::portSelItemHeight),
                                Qt::SizeHintRole);
    }
    // Qt selects the first item added to an empty list; the form shows none.
    PortSelBox->setCurrentIndex(-1);
    PortSelBox->setEditText(QString());
}

void TDisableTool::refreshPortItems(const std::vector<std::string>& names)
{
    // The text field keeps what it shows (a selected port or typed text):
    // refilling the list must neither select nor forget anything.
    const QString text = PortSelBox->currentText();
    const QSignalBlocker quiet(PortSelBox);
    setPortItems(names);
    PortSelBox->setCurrentIndex(PortSelBox->findText(text));
    PortSelBox->setEditText(text);
}

std::string TDisableTool::portText() const
{
    return PortSelBox->currentText().toStdString();
}

void TDisableTool::showMessage(const Message& message)
{
    showOutcome(message, {});
}

void TDisableTool::showOutcome(const Message& message, const std::string& detail)
{
    QMessageBox box(iconOf(message.icon), QString::fromUtf8(message.caption),
                    QString::fromUtf8(message.text), QMessageBox::Ok, this);
    // The fixed text stays the box's main text; the reason comes under it.
    box.setInformativeText(QString::fromStdString(detail));
    box.setWindowModality(Qt::WindowModal);
    box.exec();
}

void TDisableTool::showProgress(const std::string& text)
{
    // Beside the busy cursor, where pointing at the window shows it; the
    // designed controls and captions stay as they are.
    const QString tip = QString::fromStdString(text);
    setToolTip(tip);
    setAccessibleDescription(tip);
    StartButton->setToolTip(tip);
}

void TDisableTool::showAbout()
{
    if (aboutBox_)
        aboutBox_->Show();
}

void TDisableTool::setBusy(bool busy)
{
    StartButton->setEnabled(!busy);
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void TDisableTool::closeWindow()
{
    close();
}

void TDisableTool::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(this, std::move(job), Qt::QueuedConnection);
}

void TDisableTool::closeEvent(QCloseEvent* event)
{
    if (!presenter_->MayClose()) {
        event->ignore();
        return;
    }
    // Closing the main window ends the program, About dialog or not.
    if (aboutBox_)
        aboutBox_->hide();
    event->accept();
}

} // namespace kestrix
