#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "platform/win32/Win32Api.h"

class QKeyEvent;
class QShowEvent;
class QLabel;
class QPushButton;

namespace tavrelo::about {
class ClickableLabel;
class LineShape;
}  // namespace tavrelo::about

// The About window. Each opening loads a new one (Form_Load runs in the
// constructor), shows it modally over its owner and unloads it when it closes.
class frmAbout : public QDialog {
  Q_OBJECT

 public:
  // Loads a new About window, shows it modally over `owner` (the owner's
  // timers tick on meanwhile) and unloads it when it closes.
  static void ShowModal(QWidget* owner);

  explicit frmAbout(QWidget* owner = nullptr);

  // Finds the system-information tool through the registry and starts it,
  // or says it cannot be found. Every failure ends in that message.
  void StartSysInfo();

  // Reads one registry value as text into KeyVal (REG_SZ as it stands,
  // REG_DWORD as "&h" and its hexadecimal digits, any other type leaves KeyVal
  // alone). False, with KeyVal empty, when the key or value is missing or
  // needs more than 1,024 bytes. Throws VbError for a value of 0 bytes.
  static bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                          std::string& KeyVal);

  // The designed controls, under their designer names.
  QLabel* Image1 = nullptr;
  QLabel* lblTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblDescription = nullptr;
  std::array<tavrelo::about::LineShape*, 2> Line1{};
  tavrelo::about::ClickableLabel* lblDisclaimer = nullptr;
  QPushButton* cmdOK = nullptr;
  tavrelo::about::ClickableLabel* Label3 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* Command1 = nullptr;
  tavrelo::about::ClickableLabel* Image2 = nullptr;
  QPushButton* cmdSysInfo = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void createControls();
  HWND hwnd();

  void Form_Load();
  void cmdOK_Click();
  void Command1_Click();
  void Image2_Click();
  void Label3_Click();
  void lblDisclaimer_Click();
  void cmdSysInfo_Click();

  bool placed_ = false;
};
