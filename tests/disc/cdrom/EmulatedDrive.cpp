#include "tests/disc/cdrom/EmulatedDrive.h"

#include <fstream>
#include <stdexcept>

namespace tavrelo::cdrom {

EmulatedDisc emulatedDisc(const testdisc::TestDisc& disc) {
  EmulatedDisc out;
  out.toc = disc.toc;
  out.image = disc.cue;
  out.image.replace_extension(".emulated.raw");
  const auto bytes = disc.expected(disc::kLeadInFrames, disc.toc.leadOut - disc::kLeadInFrames);
  std::ofstream raw(out.image, std::ios::binary);
  raw.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!raw) throw std::runtime_error("cannot write " + out.image.string());
  return out;
}

EmulatedDrive::EmulatedDrive(const std::filesystem::path& folder, const std::string& node,
                             const std::vector<std::string>& aliases)
    : folder_(folder),
      file_(folder / (std::filesystem::path(node).filename().string() + ".drive")) {
  std::filesystem::create_directories(folder);
  configure([&](DriveState& s) {
    s = DriveState{};
    s.node = node;
    s.aliases = aliases;
  });
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

namespace {
void discChanged(DriveState& s) {
  s.mediaChanged = true;
  s.speed = 0;  // drives forget a chosen speed with the disc
}
}  // namespace

void EmulatedDrive::insert(const EmulatedDisc& disc, int spinUpMs) {
  configure([&](DriveState& s) {
    s.hasDisc = true;
    s.disc = disc;
    s.trayOpen = false;
    s.readyAtMs = nowMs() + spinUpMs;
    discChanged(s);
  });
}

void EmulatedDrive::remove() {
  configure([](DriveState& s) {
    s.trayOpen = true;
    s.hasDisc = false;
    discChanged(s);
  });
}

void EmulatedDrive::pressTrayButton() {
  configure([](DriveState& s) {
    if (s.locked) return;
    s.trayOpen = !s.trayOpen;
    if (!s.trayOpen) s.readyAtMs = nowMs() + s.spinUpMs;
    discChanged(s);
  });
}

void EmulatedDrive::closeTray(int spinUpMs) {
  configure([&](DriveState& s) {
    s.trayOpen = false;
    s.readyAtMs = nowMs() + spinUpMs;
    discChanged(s);
  });
}

void EmulatedDrive::standbyBlip(int ms) {
  configure([&](DriveState& s) { s.readyAtMs = nowMs() + ms; });
}

void EmulatedDrive::unplug() {
  configure([](DriveState& s) {
    s.plugged = false;
    ++s.generation;
  });
}

void EmulatedDrive::replugAs(const std::string& node) {
  configure([&](DriveState& s) {
    s.plugged = true;
    s.node = node;
    s.locked = false;
    s.speed = 0;
    ++s.generation;
  });
}

int EmulatedDrive::staleDescriptors() const {
  const DriveState s = state();
  return static_cast<int>(s.opens.size()) - s.openCount();
}

std::vector<std::string> EmulatedDrive::unknownRequests() const {
  std::vector<std::string> lines;
  std::ifstream in(folder_ / kUnknownLog);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tavrelo::cdrom
