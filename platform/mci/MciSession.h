#pragma once

// The MCI string interface of one process: its alias table and the devices
// opened under those aliases. mciSendStringA is a thin wrapper over
// sendString. Single-threaded: the program calls it from its UI thread only.
//
//   auto session = std::make_unique<mci::MciSession>(drives);  // a DriveDirectory
//   char reply[255];
//   session->sendString("open  D:\\ type cdaudio alias cd wait shareable", reply, 255, nullptr);
//                                                             // 0, reply "1" (the device ID)
//   session->sendString("set cd time format tmsf", nullptr, 0, nullptr);   // 0
//   session->sendString("play cd", nullptr, 0, nullptr);                   // 0, returns at once
//   session->sendString("status cd position", reply, 255, nullptr);        // 0, "01:00:02:17"
//   session->sendString("status nosuch mode", reply, 255, nullptr);        // 263, reply ""
//   session->sendString("status cdaudio mode", reply, 255, nullptr);       // opened for this one
//                                                                         // command: "playing"
//   mci::getErrorString(263, text, sizeof text);                           // English text
//   session->sendString("close all", nullptr, 0, nullptr);  // the disc plays on

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drive/Clock.h"
#include "platform/mci/CdAudioDevice.h"
#include "platform/mci/DriveDirectory.h"
#include "platform/mci/Parser.h"

namespace tavrelo::mci {

class MciSession {
 public:
  // `clock` paces "play ... wait"; tests pass a manual one.
  explicit MciSession(std::shared_ptr<DriveDirectory> drives,
                      drive::Clock& clock = drive::systemClock());

  // mciSendStringA. Returns 0 or an MCI error code. On success the reply is
  // written NUL-terminated into `reply`; a reply that does not fit (the NUL
  // counts) answers 268 and leaves the buffer as it was. After any other
  // error the buffer holds "". A null buffer or a length of 0 means no reply
  // is wanted. `callbackWindow` is accepted and unused: this stand-in posts
  // no MM_MCINOTIFY, so "notify" is accepted and ignored.
  std::uint32_t sendString(std::string_view command, char* reply, unsigned replyLength,
                           void* callbackWindow);

  // The same, with the reply as a string (tools, tests).
  Reply send(std::string_view command);

  // Closes every alias, as "close all" does; the drives play on.
  void closeAll();

 private:
  struct OpenDevice {
    std::string alias;  // lower case
    std::uint32_t id = 0;
    char letter = 0;
    bool shareable = false;
    std::unique_ptr<CdAudioDevice> device;
  };

  Reply dispatch(const ParsedCommand& parsed);
  Reply open(const Command& c);
  Reply close(const Command& c, std::uint32_t flagError);
  Reply autoOpened(const Command& c);
  OpenDevice* find(std::string_view alias);

  std::shared_ptr<DriveDirectory> drives_;
  drive::Clock& clock_;
  std::vector<OpenDevice> devices_;
  std::uint32_t nextId_ = 1;
};

}  // namespace tavrelo::mci
