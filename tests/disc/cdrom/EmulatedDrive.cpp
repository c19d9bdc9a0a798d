#include "tests/disc/cdrom/EmulatedDrive.h"

#include <fstream>
#include <stdexcept>

#include "tools/testdisc/TestDisc.h"

namespace tavrelo::cdrom {

EmulatedDisc emulatedDisc(const testdisc::TestDisc& disc) {
  EmulatedDisc out{.image = disc.cue.string() + ".raw", .toc = disc.toc};
  const auto bytes = disc.expected(disc::kLeadInFrames, disc.toc.leadOut - disc::kLeadInFrames);
  std::ofstream raw(out.image, std::ios::binary);
  raw.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!raw) throw std::runtime_error("cannot write " + out.image);
  return out;
}

EmulatedDrive::EmulatedDrive(const std::filesystem::path& folder, const std::string& node,
                             const std::vector<std::string>& aliases)
    : folder_(folder), file_(folder / kStateFile) {
  std::filesystem::create_directories(folder);
  configure([&](DriveState& s) { s = DriveState{.node = node, .aliases = aliases}; });
}

void EmulatedDrive::configure(const std::function<void(DriveState&)>& edit) {
  if (!updateState(file_, [&](DriveState& s) {
        edit(s);
        return true;
      }))
    throw std::runtime_error("cannot write " + file_.string());
}

DriveState EmulatedDrive::state() const {
  DriveState out;
  updateState(file_, [&](DriveState& s) {
    out = s;
    return false;
  });
  return out;
}

void EmulatedDrive::insert(const EmulatedDisc& disc) {
  configure([&](DriveState& s) {
    s.hasDisc = s.trayOpen = true;
    s.disc = disc;
  });
  pressTrayButton();
}

void EmulatedDrive::pressTrayButton(int spinUpMs) {
  configure([&](DriveState& s) {
    if (s.locked) return;
    s.trayOpen = !s.trayOpen;
    s.readyAtMs = nowMs() + spinUpMs;
    s.mediaChanged = true;
    s.speed = 0;  // drives forget a chosen speed with the disc
  });
}

void EmulatedDrive::standbyBlip(int ms) {
  configure([&](DriveState& s) { s.readyAtMs = nowMs() + ms; });
}

void EmulatedDrive::reset(int ms, const EmulatedDisc* other) {
  configure([&](DriveState& s) {
    s.readyAtMs = nowMs() + ms;
    s.mediaChanged = true;
    s.speed = 0;
    if (other != nullptr) s.disc = *other;
  });
}

void EmulatedDrive::plug(const std::string& node) {
  configure([&](DriveState& s) {
    s.plugged = !node.empty();
    s.node = s.plugged ? node : s.node;
    s.locked = false;
    s.speed = 0;
    s.opens.clear();  // their descriptors now get ENODEV
    ++s.generation;
  });
}

std::string EmulatedDrive::unknownRequests() const {
  std::ifstream in(folder_ / kUnknownLog);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tavrelo::cdrom
