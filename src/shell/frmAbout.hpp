#pragma once
#include <QDialog>
#include <functional>
#include <optional>

#include "shell/SystemInfo.hpp"
#include "support/UserPrompt.hpp"

class QFrame;
class QLabel;
class QPushButton;

namespace tablor::gui {

// The About box: title, version, what the program does, a disclaimer, and the system
// information of the machine it runs on.
class frmAbout : public QDialog {
    Q_OBJECT
  public:
    using SystemInfoReader = std::function<std::optional<SystemInfo>()>;

    // `prompt` shows the message when no system information can be gathered.
    explicit frmAbout(
        UserPrompt& prompt, QWidget* parent = nullptr,
        SystemInfoReader readSystemInfo = [] { return ReadSystemInfo(); });

    // Opens the System Info window, or tells "System Information Is Unavailable At This Time".
    // The window belongs to the box and closes with it. Returns it, or null.
    SystemInfoWindow* StartSysInfo();

    QLabel* picIcon = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDisclaimer = nullptr;
    QFrame* Line1 = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void CenterForm();

    UserPrompt& prompt_;
    SystemInfoReader readSystemInfo_;
    bool centred_ = false;
};

// "Version major.minor.revision" of a version text such as "1.0.0".
QString VersionCaption(const QString& version);

// Shows the About box modally over `owner`: the owner is disabled until the box is closed.
void ShowAbout(QWidget* owner, UserPrompt& prompt);

}  // namespace tablor::gui
