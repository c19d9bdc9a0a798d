#include "platform/mci/MciSession.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "platform/mci/MciErrors.h"
#include "platform/mci/Text.h"

namespace tavrelo::mci {
namespace {

constexpr std::string_view kCdAudio = "cdaudio";

// An element naming a drive: "D:" or "D:\" (Windows 2000 and later read only
// the letter). Anything else is no CD drive (296).
char driveLetterOf(std::string_view element) {
  if (element.size() < 2 || element.size() > 3 || element[1] != ':') return 0;
  if (element.size() == 3 && element[2] != '\\') return 0;
  const char c = element[0];
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
  if (c >= 'A' && c <= 'Z') return c;
  return 0;
}

// "cdaudio" or "cdaudio!D:": a device type rather than an alias.
bool namesCdAudio(std::string_view device) {
  if (device.size() > kCdAudio.size() && device[kCdAudio.size()] == '!') {
    device = device.substr(0, kCdAudio.size());
  }
  return equalsIgnoreCase(device, kCdAudio);
}

// The one place a reply reaches the caller's buffer.
std::uint32_t deliver(const Reply& r, char* buffer, unsigned length) {
  const bool wanted = buffer != nullptr && length > 0;
  if (r.code != err::kNone) {
    if (wanted) buffer[0] = '\0';
    return r.code;
  }
  if (!wanted) return err::kNone;
  if (r.text.size() >= length) return err::kParamOverflow;
  std::memcpy(buffer, r.text.data(), r.text.size());
  buffer[r.text.size()] = '\0';
  return err::kNone;
}

}  // namespace

MciSession::MciSession(std::shared_ptr<DriveDirectory> drives, drive::Clock& clock)
    : drives_(std::move(drives)), clock_(clock) {}

std::uint32_t MciSession::sendString(std::string_view command, char* reply, unsigned replyLength,
                                     void* /*callbackWindow*/) {
  return deliver(send(command), reply, replyLength);
}

Reply MciSession::send(std::string_view command) {
  // No exception crosses the mciSendStringA boundary.
  try {
    return dispatch(parseCommand(command));
  } catch (const std::bad_alloc&) {
    return Reply{err::kOutOfMemory, {}};
  } catch (...) {
    return Reply{err::kDriverInternal, {}};
  }
}

void MciSession::closeAll() {
  devices_.clear();
}

MciSession::OpenDevice* MciSession::find(std::string_view alias) {
  for (OpenDevice& d : devices_) {
    if (equalsIgnoreCase(d.alias, alias)) return &d;
  }
  return nullptr;
}

Reply MciSession::dispatch(const ParsedCommand& parsed) {
  if (parsed.headError != err::kNone) return Reply{parsed.headError, {}};
  const Command& c = parsed.command;
  if (c.verb == Verb::Open) {
    // Native reads every flag before it loads a driver.
    if (parsed.flagError != err::kNone) return Reply{parsed.flagError, {}};
    return open(c);
  }
  if (c.verb == Verb::Close) return close(c, parsed.flagError);
  if (equalsIgnoreCase(c.device, "all")) return Reply{err::kCannotUseAll, {}};
  OpenDevice* d = find(c.device);
  if (d == nullptr && !namesCdAudio(c.device)) return Reply{err::kInvalidDeviceName, {}};
  if (parsed.flagError != err::kNone) return Reply{parsed.flagError, {}};
  if (d == nullptr) return autoOpened(c);
  return d->device->execute(c);
}

// "status cdaudio mode" with nothing open: Windows opens the device for the
// one command and closes it after. Closing never stops the disc, so a play
// sent this way plays on.
Reply MciSession::autoOpened(const Command& c) {
  if (c.notify) return Reply{err::kNotifyOnAutoOpen, {}};
  Command request;
  request.verb = Verb::Open;
  request.device = c.device;
  request.shareable = true;
  const Reply opened = open(request);
  if (opened.code != err::kNone) return opened;
  struct CloseAfter {
    std::vector<OpenDevice>& devices;
    ~CloseAfter() { devices.pop_back(); }
  } closeAfter{devices_};
  return devices_.back().device->execute(c);
}

Reply MciSession::close(const Command& c, std::uint32_t flagError) {
  if (equalsIgnoreCase(c.device, "all")) {
    if (flagError != err::kNone) return Reply{flagError, {}};
    closeAll();
    return {};
  }
  const auto it = std::find_if(devices_.begin(), devices_.end(), [&](const OpenDevice& d) {
    return equalsIgnoreCase(d.alias, c.device);
  });
  if (it == devices_.end()) return Reply{err::kInvalidDeviceName, {}};
  if (flagError != err::kNone) return Reply{flagError, {}};
  devices_.erase(it);
  return {};
}

Reply MciSession::open(const Command& c) {
  if (equalsIgnoreCase(c.device, "all")) return Reply{err::kCannotUseAll, {}};
  std::string_view type;
  std::string_view element;
  if (c.type) {
    type = *c.type;
    element = c.device;
  } else if (const std::size_t bang = c.device.find('!'); bang != std::string::npos) {
    type = std::string_view(c.device).substr(0, bang);
    element = std::string_view(c.device).substr(bang + 1);
  } else {
    type = c.device;
  }
  if (!equalsIgnoreCase(type, kCdAudio)) return Reply{err::kDeviceNotInstalled, {}};

  const std::string alias =
      toLowerAscii(c.alias ? std::string_view(*c.alias) : (element.empty() ? type : element));
  if (find(alias) != nullptr) {
    return Reply{c.alias ? err::kDuplicateAlias : err::kDeviceOpen, {}};
  }

  if (!drives_) return Reply{err::kCannotLoadDriver, {}};
  char letter = 0;
  if (element.empty()) {
    const std::vector<char> letters = drives_->cdDriveLetters();
    if (letters.empty()) return Reply{err::kCannotLoadDriver, {}};
    letter = letters.front();
  } else {
    letter = driveLetterOf(element);
    if (letter == 0) return Reply{err::kInvalidFile, {}};
  }

  std::shared_ptr<drive::CdDrive> drive;
  for (const OpenDevice& other : devices_) {
    if (other.letter != letter) continue;
    if (!other.shareable || !c.shareable) return Reply{err::kMustUseShareable, {}};
    drive = other.device->drive();
  }
  if (!drive) drive = drives_->cdDrive(letter);
  if (!drive) {
    // A drive that is there but cannot be used (no access, no drive service)
    // is a hardware fault; a letter that is no CD drive is a bad name.
    const std::vector<char> letters = drives_->cdDriveLetters();
    if (std::find(letters.begin(), letters.end(), letter) != letters.end()) {
      return Reply{err::kHardware, {}};
    }
    return Reply{element.empty() ? err::kCannotLoadDriver : err::kInvalidFile, {}};
  }

  OpenDevice d;
  d.alias = alias;
  d.id = nextId_++;
  d.letter = letter;
  d.shareable = c.shareable;
  d.device = std::make_unique<CdAudioDevice>(std::move(drive), clock_);
  devices_.push_back(std::move(d));
  return Reply{err::kNone, std::to_string(devices_.back().id)};
}

}  // namespace tavrelo::mci
