#pragma once

// A test's hands on an emulated CD drive: what a user, the drive's firmware or
// a USB cable does to it. The emulated kernel (EmulatedKernel.cpp, linked into
// the test or preloaded into a program) answers for it in every process that
// has $TAVRELO_EMULATED_CDROM pointing at the same folder.

#include <filesystem>
#include <string>
#include <vector>

#include "tests/disc/cdrom/DriveState.h"
#include "tools/testdisc/TestDisc.h"

namespace tavrelo::cdrom {

// A generated disc as a drive reads it: one raw image from LBA 150 written
// beside the disc's files, its TOC, no CD-Text.
EmulatedDisc emulatedDisc(const testdisc::TestDisc& disc);

class EmulatedDrive {
 public:
  // A drive with an empty closed tray at `node` ("/dev/sr0"), also named by
  // `aliases` (symlinks such as "/dev/cdrom").
  EmulatedDrive(const std::filesystem::path& folder, const std::string& node,
                const std::vector<std::string>& aliases = {});

  // The user puts `disc` in and closes the tray; the drive is ready after
  // `spinUpMs` (CDS_DRIVE_NOT_READY and sense 2/04/01 until then).
  void insert(const EmulatedDisc& disc, int spinUpMs = 0);
  void remove();  // takes the disc out of the tray (opens it first)
  // The button on the drive: opens or closes the tray, unless the door is
  // locked. Closing spins up for spinUpMs(); both count as a media change.
  void pressTrayButton();
  void closeTray(int spinUpMs);  // as the button, with this spin-up
  void standbyBlip(int ms);      // not ready for `ms`, same disc, no media change
  void unplug();                 // nodes vanish; open descriptors get ENODEV
  // Plugs the drive back in under `node`. A real kernel keeps the old number
  // while a descriptor of the unplugged drive is open: see staleDescriptors().
  void replugAs(const std::string& node);
  // Anything else, straight on the state: denied (open gives EACCES),
  // unreadable and unreadableDelayMs (sectors failing with 3/11/05 and what
  // each failing read takes), refusesSpeed (CDROM_SELECT_SPEED gives EINVAL),
  // canCloseTray (false: a slot-loading or laptop drive), spinUpMs (after the
  // button closes the tray).
  void configure(const std::function<void(DriveState&)>& edit);

  DriveState state() const;  // everything, as the emulated kernel sees it now
  bool trayOpen() const { return state().trayOpen; }
  int speed() const { return state().speed; }
  int readCommands() const { return state().readCommands; }
  int lastReadTimeoutMs() const { return state().lastReadTimeoutMs; }
  int openDescriptors() const { return state().openCount(); }
  int staleDescriptors() const;  // still open from before an unplug
  // Every request the emulated kernel does not know, from any process, any drive.
  std::vector<std::string> unknownRequests() const;

 private:
  std::filesystem::path folder_, file_;
};

}  // namespace tavrelo::cdrom
