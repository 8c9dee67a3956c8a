// kestrix: switches the Java autostart of a module off from one small window.
#include "application.h"
#include "module_library.h"
#include "port_list.h"
#include "stop_signals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    kestrix::blockStopSignals();
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
