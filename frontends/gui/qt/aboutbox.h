// The About dialog TAboutBox: created hidden with the main window, shown
// without being modal, hidden again by OK, Enter or its frame.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace kestrix {

class TAboutBox final : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent);

    // Makes the dialog visible, centred on the screen, or brings it to the
    // front when it is visible already: there is only ever one.
    void Show();

private:
    void OKButtonClick();
    void centreOnScreen();

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Copyright;
    QLabel* Version;
    QLabel* Comments;
    QPushButton* OKButton;
};

} // namespace kestrix
