#pragma once

#include <gtest/gtest.h>

#include <QPoint>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

#include "player/FrmAudioPlayer.h"
#include "tools/testdisc/TestDisc.h"

class QImage;

namespace tavrelo::testing {

// Runs a short helper program to its end; its standard output.
QString runHelper(const QString& program, const QStringList& args);

// Goertzel power of `frequency` (Hz) in the left channel.
double powerAt(const std::vector<std::int16_t>& stereo, double frequency);

// The program as a person uses it: started on a generated disc image with the
// real sound server, clicked on a real X server, read off the screen, and
// heard through the null sink's monitor. The process's own X server comes
// from the test's main.
class ProgramOnScreen : public ::testing::Test {
 protected:
  // A disc of `tracks` tracks of `trackSeconds` each (under a minute).
  explicit ProgramOnScreen(int tracks = 3, int trackSeconds = 20);

  void SetUp() override;
  void TearDown() override;

  // Starts the program and finds its window.
  ::testing::AssertionResult startProgram();
  bool findWindow();
  void click(const QPushButton* button);
  // What the status label shows: "", "[TT] 00:SS", or "?" when none matches.
  QString status();
  // Reads the label until it matches `wanted` (about 20 s at most); the last reading.
  QString waitForStatus(const QRegularExpression& wanted);
  // About a second of what the sink plays, left and right interleaved.
  std::vector<std::int16_t> record();
  // True when the sink plays `track`'s tone rather than any other track's.
  ::testing::AssertionResult hears(int track);
  // True when the sink plays none of the disc's tones.
  ::testing::AssertionResult hearsSilence();
  // Closes the window as a window manager's close box does.
  void closeWindow();
  int visibleWindows();
  void saveScreen(const char* name);
  // The drive service's process id, from its lock file; 0 when none runs.
  int servicePid() const;

  // The sound server the program and the recorder use; a fixture may point
  // both at its own server before SetUp.
  QString pulseServer;
  QString pulseSink;

  int tracks;
  int trackSeconds;
  QTemporaryDir folder;
  QString runtimeDir;  // the program's XDG_RUNTIME_DIR
  tavrelo::testdisc::TestDisc disc;
  QString root;
  QProcess program;
  QString window;
  QPoint origin;
  QString recorderErrors;
  double heardPower = 0;     // of the tone hears() last looked for
  FrmAudioPlayer reference;  // the same controls, drawn here for comparison

 private:
  QImage panelOnScreen();
};

// "[TT] 00:SS" as a track and a second; {0, -1} for anything else.
struct ShownTime {
  int track = 0;
  int second = -1;
};
ShownTime parseShown(const QString& shown);

}  // namespace tavrelo::testing
