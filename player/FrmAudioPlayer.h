#pragma once

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "cd/CdHandlers.h"

class QCloseEvent;

// The main window: an olive display panel over a row of picture buttons. The
// controls keep their designer names; the CD handlers live in CdHandlers.
class FrmAudioPlayer final : public QWidget, public CdHandlers {
 public:
  FrmAudioPlayer();

  // Loads the window: runs Form_Load, then starts Timer1. False when the
  // program ended during the load (only seen by tests: End does not return).
  bool load();

  // The controls, as designed.
  QPushButton* Command1 = nullptr;
  QPushButton* Command2 = nullptr;
  QPushButton* Command3 = nullptr;
  QPushButton* Command4 = nullptr;
  QPushButton* Command5 = nullptr;
  QPushButton* Command6 = nullptr;
  QPushButton* Command7 = nullptr;
  QPushButton* Command8 = nullptr;
  QPushButton* Command9 = nullptr;
  QPushButton* Command10 = nullptr;
  QFrame* Picture1 = nullptr;
  QLabel* Image1 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QTimer* Timer1 = nullptr;
  // Control array CD; element 0 is designed, the others loaded by Detect_CDs.
  const std::vector<QPushButton*>& CD() const { return cdButtons_; }

  // Start-up: single-instance rule, then drive discovery.
  void Form_Load();
  // Closing: stops and closes the device; Cancel is left at 0.
  void Form_Unload(std::int16_t& Cancel);
  // About.
  void Command8_Click();
  // Volume mixer.
  void Command9_Click();
  // Quit: ends at once.
  void Command10_Click();

 protected:
  void closeEvent(QCloseEvent* event) override;

  std::string driveButtonCaption(int index) const override;
  void setDriveButtonCaption(int index, const std::string& caption) override;
  void setDriveButtonVisible(int index, bool visible) override;
  void loadDriveButton(int index) override;
  float driveButtonLeft(int index) const override;
  float driveButtonWidth(int index) const override;
  void setDriveButtonLeft(int index, float left) override;
  void setLabel2Caption(const std::string& caption) override;
  void setLabel3Caption(const std::string& caption) override;
  void programEnded() override;

 private:
  struct DriveButtonPlace {
    float left = 0;  // twips
    float width = 0;
  };

  int px(double twips) const;
  void place(QWidget* control, double left, double top, double width, double height,
             int originX = 0, int originY = 0);
  QPushButton* makeDriveButton(int index);
  QPushButton* makePictureButton(const char* picture, const char* tooltip, double left,
                                 double width);
  void buildControls();
  void buildTabOrder();

  std::vector<QPushButton*> cdButtons_;
  std::vector<DriveButtonPlace> cdPlaces_;
  bool ended_ = false;
};
