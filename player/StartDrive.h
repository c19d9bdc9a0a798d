#pragma once

#include <string>

#include "player/StartArgument.h"

class FrmAudioPlayer;

// The drive a start argument names, as a root ("E:\"). A sheet that is not a
// drive yet becomes one, as the sheets of TAVRELO2_DISC_IMAGES are, so this
// runs before anything reads the drive letters. "" when there is no such
// drive, after saying why on stderr.
std::string startDriveRoot(const StartArgument& argument);

// Another copy of the program runs: the drive service plays the drive with
// the strings the window itself sends, and the disc plays on after this copy
// ends.
void playInRunningCopy(const std::string& root);

// Selects the drive's button as a click does, then plays it as Play does.
void selectAndPlay(FrmAudioPlayer& window, const std::string& root);
