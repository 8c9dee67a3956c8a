// Drives the real kestrix program from inside, as a user at its window
// would, with Qt's test tools. Preloaded into the unchanged binary
// (LD_PRELOAD), it does nothing unless KESTRIX_DRIVE says what to do:
//   switch-off:COM<n>   pick COM<n> from the list, press "AutoExec Off", say
//                       what the window does and what the message box says,
//                       press OK, then Close;
//   close-while-running:COM<n>
//                       the same up to the press, then wait until the window
//                       shows what the library waits for, say it, and press
//                       Close; a message box that appears after is reported;
//   screenshots:<dir>   save the main window, the About dialog and a message
//                       box as PNG files in <dir>, then Close.
// Every report is one line on standard output beginning "driver: ".
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A step is tried on every tick until it reports that it is done.
using Step = std::function<bool()>;

constexpr int tickMs = 20;
// Longer than a switch-off with no module answering.
constexpr auto giveUpAfter = std::chrono::seconds(150);

void report(const QString& line)
{
    std::printf("driver: %s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

QWidget* topLevel(const char* name)
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == name && widget->isVisible())
            return widget;
    return nullptr;
}

template <typename T>
T* control(const char* name)
{
    QWidget* window = topLevel("DisableTool");
    return window ? window->findChild<T*>(name) : nullptr;
}

QMessageBox* messageBox()
{
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

void click(QWidget* widget, QPoint at = QPoint())
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

// For a press that may open a modal box: the box's own event loop must not
// run inside a step, or no later step could close it.
bool clickButtonLater(const char* name)
{
    auto* button = control<QPushButton>(name);
    if (!button)
        return false;
    QTimer::singleShot(0, button, [button] { click(button); });
    return true;
}

class Driver : public QObject {
public:
    explicit Driver(std::vector<Step> steps) : steps_(std::move(steps))
    {
        connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
    }

    void start()
    {
        deadline_ = Clock::now() + giveUpAfter;
        timer_.start(tickMs);
    }

private:
    void tick()
    {
        if (next_ >= steps_.size()) {
            timer_.stop();
            return;
        }
        if (Clock::now() > deadline_) {
            report(QString("gave up at step %1").arg(next_ + 1));
            std::exit(3);
        }
        // A nested event loop inside a step ticks too.
        if (inStep_)
            return;
        inStep_ = true;
        if (steps_[next_]())
            ++next_;
        inStep_ = false;
    }

    std::vector<Step> steps_;
    size_t next_ = 0;
    bool inStep_ = false;
    QTimer timer_;
    Clock::time_point deadline_;
};

std::vector<Step> switchOffSteps(const QString& port)
{
    auto ticksWhileRunning = std::make_shared<int>(0);
    return {
        [] {
            auto* list = control<QComboBox>("PortSelBox");
            if (!list)
                return false;
            QStringList items;
            for (int i = 0; i < list->count(); ++i)
                items << list->itemText(i);
            report("ports " + items.join(' '));
            return true;
        },
        [] {
            // The arrow at the list's right end opens it.
            auto* list = control<QComboBox>("PortSelBox");
            click(list, QPoint(list->width() - 4, list->height() / 2));
            return true;
        },
        [port, popupSeen = std::make_shared<Clock::time_point>()] {
            auto* list = control<QComboBox>("PortSelBox");
            QAbstractItemView* items = list->view();
            if (!items->isVisible())
                return false;
            // Qt takes a release soon after the list opened for the end of
            // the click that opened it; a user takes longer than that.
            if (*popupSeen == Clock::time_point())
                *popupSeen = Clock::now();
            if (Clock::now() - *popupSeen <
                std::chrono::milliseconds(QApplication::doubleClickInterval() + 100))
                return false;
            const int row = list->findText(port);
            if (row < 0) {
                report(port + " is not in the list");
                std::exit(4);
            }
            const QRect item = items->visualRect(items->model()->index(row, 0));
            click(items->viewport(), item.center());
            return true;
        },
        [port] {
            const QString selected = control<QComboBox>("PortSelBox")->currentText();
            report("selected " + selected);
            if (selected != port)
                std::exit(4);
            auto* start = control<QPushButton>("StartButton");
            click(start);
            const bool busyCursor = topLevel("DisableTool")->cursor().shape() == Qt::BusyCursor;
            report(QString("running: AutoExec Off %1, %2 cursor")
                       .arg(start->isEnabled() ? "enabled" : "disabled",
                            busyCursor ? "busy" : "normal"));
            return true;
        },
        [ticksWhileRunning] {
            QMessageBox* box = messageBox();
            if (!box) {
                ++*ticksWhileRunning;
                return false;
            }
            report(QString("window handled %1 timer ticks while running").arg(*ticksWhileRunning));
            report("message box \"" + box->windowTitle() + "\": " + box->text());
            if (!box->informativeText().isEmpty())
                report("detail: " + box->informativeText());
            click(box->button(QMessageBox::Ok));
            return true;
        },
        [] {
            if (messageBox())
                return false;
            report("closing");
            return clickButtonLater("CloseButton");
        },
    };
}

std::vector<Step> closeWhileRunningSteps(const QString& port)
{
    // Up to and with the press of "AutoExec Off".
    std::vector<Step> steps = switchOffSteps(port);
    steps.resize(4);
    steps.push_back([] {
        QWidget* window = topLevel("DisableTool");
        if (!window || window->toolTip().isEmpty())
            return false;
        report("progress: " + window->toolTip());
        report("closing");
        return clickButtonLater("CloseButton");
    });
    steps.push_back([] {
        if (QMessageBox* box = messageBox()) {
            report("message box \"" + box->windowTitle() + "\": " + box->text());
            click(box->button(QMessageBox::Ok));
        }
        return false;
    });
    return steps;
}

bool save(QWidget* window, const QString& dir, const char* name)
{
    const QString path = dir + "/" + name + ".png";
    if (!window->grab().save(path)) {
        report("cannot write " + path);
        std::exit(5);
    }
    report("saved " + path);
    return true;
}

std::vector<Step> screenshotSteps(const QString& dir)
{
    return {
        [] { return topLevel("DisableTool") != nullptr; },
        [dir] {
            save(topLevel("DisableTool"), dir, "DisableTool");
            return clickButtonLater("About");
        },
        [dir] {
            QWidget* about = topLevel("AboutBox");
            if (!about)
                return false;
            save(about, dir, "AboutBox");
            QTest::keyClick(about, Qt::Key_Return);
            return true;
        },
        [] { return topLevel("AboutBox") == nullptr && clickButtonLater("StartButton"); },
        [dir] {
            QMessageBox* box = messageBox();
            if (!box)
                return false;
            save(box, dir, "MessageBox");
            click(box->button(QMessageBox::Ok));
            return true;
        },
        [] { return !messageBox() && clickButtonLater("CloseButton"); },
    };
}

void startDriver()
{
    const QString what = qEnvironmentVariable("KESTRIX_DRIVE");
    const qsizetype colon = what.indexOf(':');
    const QString mode = what.left(colon);
    const QString argument = what.mid(colon + 1);
    std::vector<Step> steps;
    if (mode == "switch-off")
        steps = switchOffSteps(argument);
    else if (mode == "close-while-running")
        steps = closeWhileRunningSteps(argument);
    else if (mode == "screenshots")
        steps = screenshotSteps(argument);
    else
        return;
    // Called while the application is being built: the first tick comes
    // once its event loop runs.
    auto* driver = new Driver(std::move(steps));
    driver->setParent(QCoreApplication::instance());
    QMetaObject::invokeMethod(
        driver, [driver] { driver->start(); }, Qt::QueuedConnection);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriver)
