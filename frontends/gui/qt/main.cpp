// kestrix: switches the Java autostart of a module off from one small window.
#include "application.h"
#include "module_library.h"
#include "port_list.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    kestrix::setUpApplication(application);
    kestrix::ApplicationForms forms(kestrix::cfcLibrary(), kestrix::comPortPresent);
    forms.DisableTool.show();
    return application.exec();
}
