#include "application.h"

#include "forms.h"

#include <QApplication>
#include <QIcon>

// Resources of a static library must be registered by name, at global scope.
static void registerResources()
{
    Q_INIT_RESOURCE(kestrix);
}

namespace kestrix {

void setUpApplication(QApplication& application)
{
    registerResources();
    // The application title goes where Linux desktops look for one: the
    // window class (task bars group and label by it) and the desktop entry.
    // It is not Qt's display name, which would be appended to every caption.
    QApplication::setApplicationName(QString::fromUtf8(forms::applicationTitle));
    QApplication::setDesktopFileName("kestrix");
    QIcon icon;
    icon.addFile(":/kestrix/kestrix-32.png");
    icon.addFile(":/kestrix/kestrix-64.png");
    application.setWindowIcon(icon);
}

ApplicationForms::ApplicationForms(ModuleLibrary& library, const PortProbe& portPresent)
    : DisableTool(library, portPresent), AboutBox(&DisableTool)
{
    DisableTool.setAboutBox(&AboutBox);
}

} // namespace kestrix
