// Unit "Disabletoolform": the main window TDisableTool drawn with Qt. Its
// logic lives in DisableToolPresenter; this class draws the controls and
// hands their events on.
#pragma once

#include "disable_tool_presenter.h"
#include "disable_tool_view.h"
#include "module_library.h"
#include "port_list.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace kestrix {

class TAboutBox;

class TDisableTool final : public QWidget, public DisableToolView {
    Q_OBJECT

public:
    // Creates the controls, then fills the port list through the presenter.
    TDisableTool(ModuleLibrary& library, const PortProbe& portPresent);
    ~TDisableTool() override;

    void setAboutBox(TAboutBox* aboutBox) { aboutBox_ = aboutBox; }
    const DisableToolPresenter& presenter() const { return *presenter_; }

    void setPortItems(const std::vector<std::string>& names) override;
    std::string portText() const override;
    void showMessage(const Message& message) override;
    void showOutcome(const Message& message, const std::string& detail) override;
    void refreshPortItems(const std::vector<std::string>& names) override;
    void showProgress(const std::string& text) override;
    void showAbout() override;
    void setBusy(bool busy) override;
    void closeWindow() override;
    void post(std::function<void()> job) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QGroupBox* GroupBox1;
    QPushButton* About;
    QComboBox* PortSelBox;
    QPushButton* StartButton;
    QPushButton* CloseButton;

    TAboutBox* aboutBox_ = nullptr;
    std::unique_ptr<DisableToolPresenter> presenter_;
};

} // namespace kestrix
