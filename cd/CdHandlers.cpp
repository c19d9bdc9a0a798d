#include "cd/CdHandlers.h"

#include <cctype>
#include <limits>
#include <optional>

#include "cd/ModuleAudioPlayer.h"
#include "platform/win32/End.h"
#include "platform/win32/VbRuntime.h"

namespace {

constexpr UINT kDriveCdrom = 5;
// A drive list never needs more; a platform asking for more is not believed.
constexpr DWORD kLongestDriveList = 64 * 1024;

// Result codes are taken and never looked at: no failure is shown or retried.
void send(const std::string& command) {
  [[maybe_unused]] const MCIERROR result = mciSendStringA(command.c_str(), nullptr, 0, nullptr);
}

std::string upperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string logicalDriveStrings() {
  std::string list(64, ' ');
  DWORD count = GetLogicalDriveStringsA(static_cast<DWORD>(list.size()), list.data());
  // A list that does not fit is read again with the size the platform asked
  // for, rather than being taken for "no drive".
  if (count > list.size() && count <= kLongestDriveList) {
    list.assign(count, ' ');
    count = GetLogicalDriveStringsA(static_cast<DWORD>(list.size()), list.data());
  }
  if (count > list.size()) count = 0;
  list.resize(count);
  return list;
}

// "play cd from N" while playing, "seek cd to N" otherwise.
std::string goToTrack(bool playing, int track) {
  return (playing ? "play cd from " : "seek cd to ") + std::to_string(track);
}

bool fitsInteger16(int value) {
  return value >= std::numeric_limits<std::int16_t>::min() &&
         value <= std::numeric_limits<std::int16_t>::max();
}

struct TrackQuery {
  int current = 0;
  int count = 0;
  bool playing = false;
};

// The three queries both track buttons start with; an unreadable number stays 0.
TrackQuery queryTracks(MciReplyBuffer& reply) {
  const auto sendQuery = [&](const char* command) {
    [[maybe_unused]] const MCIERROR result =
        mciSendStringA(command, reply.data(), kMciReplyLength, nullptr);
  };
  TrackQuery query;
  sendQuery("status cd current track");
  query.current = parseInteger16(replyText(reply)).value_or(0);
  sendQuery("status cd number of tracks wait");
  query.count = parseInteger16(replyText(reply)).value_or(0);
  sendQuery("status cd mode");
  query.playing = replyStartsWith(reply, "playing");
  return query;
}

}  // namespace

void CdHandlers::sendWithReply(const char* command, MciReplyBuffer& reply) {
  [[maybe_unused]] const MCIERROR result =
      mciSendStringA(command, reply.data(), kMciReplyLength, nullptr);
}

void CdHandlers::Detect_CDs() {
  const std::string list = logicalDriveStrings();
  std::string root;
  for (const char c : list) {
    if (c != '\0') {
      root += c;
      continue;
    }
    if (GetDriveTypeA(root.c_str()) == kDriveCdrom) {
      if (driveButtonCaption(0).empty()) {
        setDriveButtonCaption(0, upperCase(root));
        setDriveButtonVisible(0, true);
        SelectedDrive = upperCase(root);
      } else if (DriveButtonCount < std::numeric_limits<std::int16_t>::max()) {
        ++DriveButtonCount;
        const int index = DriveButtonCount;
        loadDriveButton(index);
        setDriveButtonCaption(index, upperCase(root));
        setDriveButtonLeft(index, driveButtonLeft(index - 1) + driveButtonWidth(index - 1));
        setDriveButtonVisible(index, true);
      }
    }
    root.clear();
  }
  if (driveButtonCaption(0).empty()) {
    MsgBox("No Audio CDs were detected", vbInformation, "");
    programEnded();
    End();
    return;
  }
  UpDate_Cds();
}

void CdHandlers::UpDate_Cds() {
  send("open  " + SelectedDrive + " type cdaudio alias cd wait shareable");
  send("set cd time format tmsf");
  setLabel2Caption("Lecteur CD Audio = " + SelectedDrive);
}

void CdHandlers::CD_Click(std::int16_t Index) {
  send("stop cd");
  send("close cd");
  SelectedDrive = driveButtonCaption(Index);
  UpDate_Cds();
}

void CdHandlers::Command1_Click() {
  const TrackQuery query = queryTracks(MciReply);
  const int target = query.current == 1 ? query.count : query.current - 1;
  if (!fitsInteger16(target)) return;
  sendWithReply(goToTrack(query.playing, target).c_str(), MciReply);
}

void CdHandlers::Command2_Click() {
  send("play cd");
}

void CdHandlers::Command3_Click() {
  MciReplyBuffer reply{};  // this handler's own buffer, NULs at every click
  const TrackQuery query = queryTracks(reply);
  const int target = query.current == query.count ? 1 : query.current + 1;
  if (!fitsInteger16(target)) return;
  sendWithReply(goToTrack(query.playing, target).c_str(), reply);
}

void CdHandlers::Command4_Click() {
  send("pause cd wait");
}

void CdHandlers::Command5_Click() {
  send("stop cd wait");
  send("seek cd to 1 wait");
}

void CdHandlers::Command6_Click() {
  sendWithReply("set cd door open wait", MciReply);
}

void CdHandlers::Command7_Click() {
  sendWithReply("status cd mode", MciReply);
  if (replyStartsWith(MciReply, "open")) sendWithReply("set cd door closed wait", MciReply);
}

void CdHandlers::Timer1_Timer() {
  sendWithReply("status cd media present", MciReply);
  if (!replyStartsWith(MciReply, "true")) {
    setLabel3Caption("");
    return;
  }
  sendWithReply("status cd position", MciReply);
  // "tt:mm:ss:ff": read by character positions; frames are not shown. A reply
  // whose fields are not numbers leaves the display as it was.
  const std::string_view position = replyText(MciReply);
  const auto field = [&](std::size_t at) -> std::optional<std::int16_t> {
    if (position.size() < at + 2) return std::nullopt;
    return parseInteger16(position.substr(at, 2));
  };
  const auto track = field(0);
  const auto minutes = field(3);
  const auto seconds = field(6);
  if (!track || !minutes || !seconds) return;
  setLabel3Caption("[" + twoDigits(*track) + "] " + twoDigits(*minutes) + ":" +
                   twoDigits(*seconds));
}
