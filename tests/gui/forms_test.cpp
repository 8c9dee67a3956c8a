// The real Qt windows, built offscreen against a recording library: the
// controls as designed, the tab order, the About dialog and the message
// boxes, with every box closed by the test as a user would.
#include "application.h"
#include "fakes.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

// Readable failure messages for Qt's strings.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kestrixtest {
namespace {

using Calls = std::vector<std::string>;
constexpr int patienceMs = std::chrono::milliseconds(patience).count();

QApplication& application()
{
    static int argc = 1;
    static char name[] = "gui_forms_test";
    static char* argv[] = {name, nullptr};
    // Lives to the end of the process; no test needs a display.
    static QApplication* instance = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        auto* created = new QApplication(argc, argv);
        kestrix::setUpApplication(*created);
        return created;
    }();
    return *instance;
}

QRect box(int left, int top, int width, int height)
{
    return QRect(left, top, width, height);
}

// Waits for the next modal message box, notes what it says and presses its
// OK button.
class MessageBoxCloser {
public:
    struct Seen {
        QString caption;
        QString text;
        QString detail;
        QMessageBox::Icon icon;
        QList<QAbstractButton*> buttons;
    };

    MessageBoxCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { closeIfShown(); });
        timer_.start(10);
    }

    std::optional<Seen> wait()
    {
        if (!QTest::qWaitFor([this] { return seen_.has_value(); }, patienceMs))
            return std::nullopt;
        return seen_;
    }

private:
    void closeIfShown()
    {
        auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!shown || seen_)
            return;
        timer_.stop();
        seen_ = Seen{shown->windowTitle(), shown->text(), shown->informativeText(), shown->icon(),
                     shown->buttons()};
        QTest::mouseClick(shown->button(QMessageBox::Ok), Qt::LeftButton);
    }

    QTimer timer_;
    std::optional<Seen> seen_;
};

class Forms : public ::testing::Test {
protected:
    void SetUp() override
    {
        application();
        forms = std::make_unique<kestrix::ApplicationForms>(
            library, [](std::int32_t n) { return n == 1 || n == 3 || n == 120; });
        window().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    }

    void TearDown() override
    {
        library.release();
        forms.reset();
    }

    kestrix::TDisableTool& window() { return forms->DisableTool; }
    kestrix::TAboutBox& about() { return forms->AboutBox; }

    template <typename T>
    T* control(const char* name)
    {
        T* found = window().findChild<T*>(name);
        if (!found)
            found = about().findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    QComboBox* portBox() { return control<QComboBox>("PortSelBox"); }
    void press(const char* button)
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }

    // Through the keyboard, as a user picks a list item.
    void selectWithArrowKeys(int steps)
    {
        portBox()->setFocus();
        for (int i = 0; i < steps; ++i)
            QTest::keyClick(portBox(), Qt::Key_Down);
    }

    std::optional<MessageBoxCloser::Seen> pressAndCloseTheBox(const char* button)
    {
        MessageBoxCloser closer;
        press(button);
        return closer.wait();
    }

    FakeLibrary library;
    std::unique_ptr<kestrix::ApplicationForms> forms;
};

TEST_F(Forms, MainWindowAsDesigned)
{
    EXPECT_EQ(window().objectName(), "DisableTool");
    EXPECT_EQ(window().windowTitle(), "Disable AutoExec");
    EXPECT_EQ(QApplication::applicationName(), "Autostart Off");
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    // The designed outer 250 x 212 less the original frame and caption.
    EXPECT_EQ(window().size(), QSize(242, 185));
    EXPECT_EQ(window().font().family(), "MS Sans Serif");
    EXPECT_EQ(window().font().pixelSize(), 11);

    auto* group = control<QGroupBox>("GroupBox1");
    EXPECT_EQ(group->geometry(), box(8, 8, 225, 161));
    EXPECT_EQ(group->title(), "COM Port for Module");
    auto* about = control<QPushButton>("About");
    EXPECT_EQ(about->parentWidget(), group);
    EXPECT_EQ(about->geometry(), box(112, 64, 105, 41));
    EXPECT_EQ(about->text(), "About");
    EXPECT_EQ(portBox()->geometry(), box(16, 24, 97, 21));
    EXPECT_EQ(control<QPushButton>("StartButton")->geometry(), box(120, 24, 105, 41));
    EXPECT_EQ(control<QPushButton>("StartButton")->text(), "AutoExec Off");
    EXPECT_EQ(control<QPushButton>("CloseButton")->geometry(), box(120, 120, 105, 41));
    EXPECT_EQ(control<QPushButton>("CloseButton")->text(), "Close");

    // COM1 and COM3 in that order, nothing selected, the text empty.
    ASSERT_EQ(portBox()->count(), 2);
    EXPECT_EQ(portBox()->itemText(0), "COM1");
    EXPECT_EQ(portBox()->itemText(1), "COM3");
    EXPECT_EQ(portBox()->currentIndex(), -1);
    EXPECT_EQ(portBox()->currentText(), "");
    EXPECT_TRUE(portBox()->isEditable());
    EXPECT_EQ(portBox()->view()->sizeHintForRow(0), 13);
}

TEST_F(Forms, CaptionsFitTheirControls)
{
    press("About");
    for (QWidget* form : {static_cast<QWidget*>(&window()), static_cast<QWidget*>(&about())}) {
        for (QPushButton* button : form->findChildren<QPushButton*>())
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width() - 8)
                << button->objectName().toStdString();
    }
    auto* group = control<QGroupBox>("GroupBox1");
    EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()), group->width() - 16);

    // The labels stay inside the panel's bevel, the comment on one line.
    const QRect inside = control<QFrame>("Panel1")->contentsRect();
    for (QLabel* label : control<QFrame>("Panel1")->findChildren<QLabel*>())
        EXPECT_TRUE(inside.contains(label->geometry())) << label->objectName().toStdString();
    auto* comments = control<QLabel>("Comments");
    EXPECT_EQ(comments->height(), comments->fontMetrics().height());
}

TEST_F(Forms, TabOrderAsDesigned)
{
    QApplication::setActiveWindow(&window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window()));
    const QWidget* expected[] = {
        control<QPushButton>("StartButton"), control<QPushButton>("CloseButton"), portBox(),
        control<QPushButton>("About"), control<QPushButton>("StartButton")};
    EXPECT_EQ(QApplication::focusWidget(), expected[0]);
    for (size_t i = 1; i < std::size(expected); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), expected[i]) << "after tab " << i;
    }
}

TEST_F(Forms, AboutIsOneNonModalDialogThatEnterHides)
{
    press("About");
    press("About");
    int shown = 0;
    for (QWidget* top : QApplication::topLevelWidgets())
        shown += top->isVisible() && top->objectName() == "AboutBox";
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(about().isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    EXPECT_EQ(about().windowTitle(), "About");
    EXPECT_EQ(about().size(), QSize(256, 158));
    EXPECT_EQ(about().minimumSize(), about().maximumSize()) << "the dialog must not be resizable";
    EXPECT_EQ(control<QWidget>("Panel1")->geometry(), box(8, 8, 241, 105));
    EXPECT_EQ(control<QLabel>("ProgramIcon")->geometry(), box(8, 8, 32, 32));
    EXPECT_FALSE(control<QLabel>("ProgramIcon")->pixmap().isNull());
    EXPECT_EQ(control<QLabel>("ProductName")->text(), "Auto Exec Off");
    EXPECT_EQ(control<QLabel>("ProductName")->pos(), QPoint(56, 16));
    EXPECT_TRUE(control<QLabel>("ProductName")->font().bold());
    EXPECT_EQ(control<QLabel>("ProductName")->font().pixelSize(), 16);
    EXPECT_FALSE(control<QLabel>("Copyright")->text().isEmpty());
    EXPECT_EQ(control<QLabel>("Copyright")->pos(), QPoint(8, 48));
    EXPECT_EQ(control<QLabel>("Version")->text(), "Version 1.0.2");
    EXPECT_EQ(control<QLabel>("Version")->pos(), QPoint(8, 64));
    auto* comments = control<QLabel>("Comments");
    EXPECT_EQ(comments->text(), "Java application auto execution is switched off");
    EXPECT_EQ(comments->geometry().topLeft(), QPoint(8, 80));
    EXPECT_EQ(comments->width(), 225);
    EXPECT_TRUE(comments->wordWrap());
    auto* ok = control<QPushButton>("OKButton");
    EXPECT_EQ(ok->geometry(), box(95, 124, 75, 25));
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());

    QTest::keyClick(&about(), Qt::Key_Return);
    EXPECT_FALSE(about().isVisible());
    EXPECT_EQ(about().result(), QDialog::Accepted);
    press("About");
    EXPECT_TRUE(about().isVisible()) << "the dialog must show again after it was hidden";
}

TEST_F(Forms, NoPortSelectedBox)
{
    const auto seen = pressAndCloseTheBox("StartButton");
    ASSERT_TRUE(seen) << "no message box appeared";
    EXPECT_EQ(seen->text, "No COM Port selected");
    EXPECT_EQ(seen->caption, "Error");
    EXPECT_EQ(seen->icon, QMessageBox::Warning);
    EXPECT_EQ(seen->buttons.size(), 1);
    EXPECT_TRUE(library.calls().empty());
}

TEST_F(Forms, SwitchOffRunsBesideTheWindow)
{
    selectWithArrowKeys(2);
    EXPECT_EQ(portBox()->currentText(), "COM3");
    EXPECT_EQ(window().presenter().selectedPort(), 3);

    library.hold();
    press("StartButton");
    ASSERT_TRUE(library.waitUntilHeld());
    // The press returned while the library is still inside the sequence: the
    // window's thread is free, and it shows that it is busy.
    EXPECT_FALSE(control<QPushButton>("StartButton")->isEnabled());
    EXPECT_EQ(window().cursor().shape(), Qt::BusyCursor);
    press("About");
    EXPECT_TRUE(about().isVisible());

    MessageBoxCloser closer;
    library.release();
    const auto seen = closer.wait();
    ASSERT_TRUE(seen) << "no message box appeared";
    EXPECT_EQ(seen->text, "AutoExec successfully switched off");
    EXPECT_EQ(seen->caption, "Disable AutoExec");
    EXPECT_EQ(seen->icon, QMessageBox::Information);
    EXPECT_EQ(seen->detail, "");
    EXPECT_TRUE(control<QPushButton>("StartButton")->isEnabled());
    EXPECT_EQ(window().cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(library.calls(), (Calls{"open 3 115200 0", "init", "java 0", "off", "close"}));
}

TEST_F(Forms, TypedTextSelectsNoPort)
{
    QLineEdit* text = portBox()->lineEdit();
    text->setFocus();
    for (const char* typed : {"COM7", "COM3"}) {
        text->clear();
        QTest::keyClicks(text, typed);
        QTest::keyClick(text, Qt::Key_Return);
        EXPECT_EQ(window().presenter().selectedPort(), 0) << typed;
    }
    EXPECT_EQ(portBox()->count(), 2) << "typed text must not become a list item";

    // Pressing the button leaves the text field, which must not select the
    // item that the typed text matches either.
    const auto seen = pressAndCloseTheBox("StartButton");
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->text, "No COM Port selected");
}

TEST_F(Forms, FailedStepShowsItsReasonUnderTheFixedText)
{
    selectWithArrowKeys(2);
    library.failAt(FakeLibrary::FailAt::AutoStart);
    MessageBoxCloser closer;
    press("StartButton");
    const auto seen = closer.wait();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->text, "Cannot switchoff AutoExec");
    EXPECT_EQ(seen->caption, "Error");
    EXPECT_EQ(seen->detail, "reason for autostart on COM3");
    EXPECT_EQ(seen->icon, QMessageBox::Critical);
}

TEST_F(Forms, ClosingDuringTheSequenceEndsItAndQuitsWithoutABox)
{
    selectWithArrowKeys(1);
    library.hold();
    press("StartButton");
    ASSERT_TRUE(library.waitUntilHeld());
    press("CloseButton");
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window().isVisible(); }, patienceMs));
    EXPECT_EQ(qobject_cast<QMessageBox*>(QApplication::activeModalWidget()), nullptr)
        << "a message box nobody asked for";
    EXPECT_EQ(library.calls(),
              (Calls{"open 1 115200 0", "init", "abandon", "reason service mode", "close"}));
}

TEST_F(Forms, OpeningThePortListReadsItAgain)
{
    portBox()->showPopup();
    EXPECT_EQ(portBox()->count(), 2);
    portBox()->hidePopup();
    selectWithArrowKeys(1);
    EXPECT_EQ(portBox()->currentText(), "COM1");
    // The list is read through the same probe; what it finds now is a
    // matter of the presenter's tests. Reading it again keeps the choice.
    portBox()->showPopup();
    portBox()->hidePopup();
    EXPECT_EQ(portBox()->currentText(), "COM1");
    EXPECT_EQ(window().presenter().selectedPort(), 1);
}

} // namespace
} // namespace kestrixtest
