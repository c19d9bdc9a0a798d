#pragma once

#include <cstdint>
#include <string>

#include "cd/MciText.h"

// The CD half of the main window FrmAudioPlayer: the state its handlers share
// and the handlers that talk to the drive. The window derives from it and
// gives it its controls through the protected interface below; everything is
// called on the UI thread, one handler at a time.
class CdHandlers {
 public:
  virtual ~CdHandlers() = default;

  // Finds the CD drives, makes their buttons and opens the first one; with
  // none, says so and ends the program.
  void Detect_CDs();
  // Opens SelectedDrive as "cd" in time format tmsf and names it in Label2.
  void UpDate_Cds();
  // A drive button was clicked.
  void CD_Click(std::int16_t Index);
  // Previous track.
  void Command1_Click();
  // Play.
  void Command2_Click();
  // Next track.
  void Command3_Click();
  // Pause.
  void Command4_Click();
  // Stop.
  void Command5_Click();
  // Eject.
  void Command6_Click();
  // Load (close the tray).
  void Command7_Click();
  // Status display, every 1000 ms.
  void Timer1_Timer();

  const std::string& selectedDrive() const { return SelectedDrive; }
  std::int16_t driveButtonCount() const { return DriveButtonCount; }

 protected:
  // Control array CD: element 0 exists from the start; loadDriveButton makes
  // element `index` as a hidden copy of element 0. Left and Width in twips.
  virtual std::string driveButtonCaption(int index) const = 0;
  virtual void setDriveButtonCaption(int index, const std::string& caption) = 0;
  virtual void setDriveButtonVisible(int index, bool visible) = 0;
  virtual void loadDriveButton(int index) = 0;
  virtual float driveButtonLeft(int index) const = 0;
  virtual float driveButtonWidth(int index) const = 0;
  virtual void setDriveButtonLeft(int index, float left) = 0;
  virtual void setLabel2Caption(const std::string& caption) = 0;
  virtual void setLabel3Caption(const std::string& caption) = 0;
  // The program ended during a handler (VB's End); the window must not show
  // or run anything after it.
  virtual void programEnded() = 0;

  std::string SelectedDrive;
  std::int16_t DriveButtonCount = 0;
  MciReplyBuffer MciReply{};

 private:
  void sendWithReply(const char* command, MciReplyBuffer& reply);
};
