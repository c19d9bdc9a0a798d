#include "player/StartDrive.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "cd/ModuleAudioPlayer.h"
#include "platform/win32/LogicalDrives.h"
#include "player/FrmAudioPlayer.h"
#include "player/WindowOnDesktop.h"

namespace {

constexpr const char* kImagesVariable = "TAVRELO2_DISC_IMAGES";

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

// Makes the sheet a drive unless the list names it already.
bool addDiscImage(const std::string& sheet) {
  const char* current = std::getenv(kImagesVariable);
  std::string list = current != nullptr ? current : "";
  std::size_t start = 0;
  while (start <= list.size()) {
    const std::size_t colon = std::min(list.find(':', start), list.size());
    if (colon > start && sameFile(list.substr(start, colon - start), sheet)) return true;
    start = colon + 1;
  }
  if (sheet.find(':') != std::string::npos) {
    std::cerr << "tavrelo2: a sheet whose path holds ':' cannot be a drive: " << sheet << '\n';
    return false;
  }
  list += (list.empty() ? "" : ":") + sheet;
  return ::setenv(kImagesVariable, list.c_str(), 1) == 0;
}

}  // namespace

std::string startDriveRoot(const StartArgument& argument) {
  if (argument.kind == StartArgument::Kind::Invalid) {
    std::cerr << "tavrelo2: " << argument.path << '\n';
    return {};
  }
  std::error_code error;
  if (!std::filesystem::exists(argument.path, error)) {
    std::cerr << "tavrelo2: no such file: " << argument.path << '\n';
    return {};
  }
  if (argument.kind == StartArgument::Kind::CueSheet && !addDiscImage(argument.path)) return {};
  for (const auto& drive : tavrelo::win32::logicalDrives()) {
    if (drive.type == tavrelo::win32::kDriveCdrom && sameFile(drive.source, argument.path)) {
      return drive.root;
    }
  }
  std::cerr << "tavrelo2: no CD drive letter for " << argument.path << '\n';
  return {};
}

void playInRunningCopy(const std::string& root) {
  const std::string open = "open " + root + " type cdaudio alias cd wait shareable";
  [[maybe_unused]] MCIERROR result = mciSendStringA(open.c_str(), nullptr, 0, nullptr);
  result = mciSendStringA("play cd", nullptr, 0, nullptr);
}

void selectAndPlay(FrmAudioPlayer& window, const std::string& root) {
  for (QPushButton* button : window.CD()) {
    if (captionWithoutMnemonics(button->text()).toStdString() != root) continue;
    // The first drive is open already; selecting it again would only stop it.
    if (button != window.CD().front()) button->click();
    window.Command2->click();
    return;
  }
}
