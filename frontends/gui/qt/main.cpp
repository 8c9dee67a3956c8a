// kestrix: switches the Java autostart of a module off from one small window.
#include "application.h"
#include "forms.h"
#include "module_library.h"
#include "port_list.h"
#include "stop_signals.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// Answered before Qt starts: without a display, Qt would abort the program
// before it could answer.
bool answerWithoutWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kestrix %s\n", kestrix::forms::aboutbox::versionText);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf("usage: kestrix [Qt options]\n"
                        "Switches the Java autostart of a module off from one small window:\n"
                        "pick the module's COM port, press \"AutoExec Off\".\n"
                        "  --help     this text\n"
                        "  --version  the version line\n"
                        "Ports: CFC_COM<n>=<device>, or ~/.config/cfc/ports.ini; "
                        "CFC_TRACE=1 writes tracefiles/tracefile.txt.\n"
                        "Without a display: QT_QPA_PLATFORM=offscreen. See kestrix(1).\n");
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    kestrix::blockStopSignals();
    if (answerWithoutWindow(argc, argv))
        return 0;
    QApplication application(argc, argv);
    kestrix::setUpApplication(application);
    kestrix::ModuleLibrary& library = kestrix::stopOnSignal(kestrix::cfcLibrary(), [] {
        QMetaObject::invokeMethod(
            qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    });
    kestrix::ApplicationForms forms(library, kestrix::comPortPresent);
    forms.DisableTool.show();
    return application.exec();
}
