#include "platform/mci/Parser.h"

#include <array>
#include <span>
#include <vector>

#include "platform/mci/MciErrors.h"
#include "platform/mci/MciInteger.h"
#include "platform/mci/Text.h"
#include "platform/mci/Tokenizer.h"

namespace tavrelo::mci {
namespace {

enum class Flag : std::uint8_t {
  Wait,
  Notify,
  Type,
  Alias,
  Shareable,
  From,
  To,
  SeekToStart,
  SeekToEnd,
  SeekTo,
  TimeFormat,
  DoorOpen,
  DoorClosed,
  ItemLength,
  ItemPosition,
  ItemNumberOfTracks,
  ItemMode,
  ItemMediaPresent,
  ItemTimeFormat,
  ItemReady,
  ItemCurrentTrack,
  ItemType,
  Track,
  Start,
};

enum class Arg : std::uint8_t { None, Integer, String, TimeFormat };

// Flags of one group exclude each other: two seek targets, door open and
// closed, two status items all answer 284.
enum class Group : std::uint8_t { None, SeekTarget, Door, Item };

struct FlagSpec {
  std::array<std::string_view, 3> words;
  Arg arg;
  Flag flag;
  Group group = Group::None;
};

constexpr FlagSpec kCommon[] = {
    {{"wait"}, Arg::None, Flag::Wait},
    {{"notify"}, Arg::None, Flag::Notify},
};
constexpr FlagSpec kOpen[] = {
    {{"type"}, Arg::String, Flag::Type},
    {{"alias"}, Arg::String, Flag::Alias},
    {{"shareable"}, Arg::None, Flag::Shareable},
};
constexpr FlagSpec kPlay[] = {
    {{"from"}, Arg::Integer, Flag::From},
    {{"to"}, Arg::Integer, Flag::To},
};
constexpr FlagSpec kSeek[] = {
    {{"to", "start"}, Arg::None, Flag::SeekToStart, Group::SeekTarget},
    {{"to", "end"}, Arg::None, Flag::SeekToEnd, Group::SeekTarget},
    {{"to"}, Arg::Integer, Flag::SeekTo, Group::SeekTarget},
};
constexpr FlagSpec kSet[] = {
    {{"time", "format"}, Arg::TimeFormat, Flag::TimeFormat},
    {{"door", "open"}, Arg::None, Flag::DoorOpen, Group::Door},
    {{"door", "closed"}, Arg::None, Flag::DoorClosed, Group::Door},
};
constexpr FlagSpec kStatus[] = {
    {{"length"}, Arg::None, Flag::ItemLength, Group::Item},
    {{"position"}, Arg::None, Flag::ItemPosition, Group::Item},
    {{"number", "of", "tracks"}, Arg::None, Flag::ItemNumberOfTracks, Group::Item},
    {{"mode"}, Arg::None, Flag::ItemMode, Group::Item},
    {{"media", "present"}, Arg::None, Flag::ItemMediaPresent, Group::Item},
    {{"time", "format"}, Arg::None, Flag::ItemTimeFormat, Group::Item},
    {{"ready"}, Arg::None, Flag::ItemReady, Group::Item},
    {{"current", "track"}, Arg::None, Flag::ItemCurrentTrack, Group::Item},
    {{"type"}, Arg::None, Flag::ItemType, Group::Item},
    {{"track"}, Arg::Integer, Flag::Track},
    {{"start"}, Arg::None, Flag::Start},
};

struct VerbSpec {
  std::string_view name;
  Verb verb;
  std::span<const FlagSpec> flags;
};

constexpr VerbSpec kVerbs[] = {
    {"open", Verb::Open, kOpen}, {"close", Verb::Close, {}},   {"play", Verb::Play, kPlay},
    {"pause", Verb::Pause, {}},  {"resume", Verb::Resume, {}}, {"stop", Verb::Stop, {}},
    {"seek", Verb::Seek, kSeek}, {"set", Verb::Set, kSet},     {"status", Verb::Status, kStatus},
};

// "status x 4" names the item by its MCI_STATUS_* number.
std::optional<Flag> itemByNumber(std::uint32_t n) {
  switch (n) {
    case 1:
      return Flag::ItemLength;
    case 2:
      return Flag::ItemPosition;
    case 3:
      return Flag::ItemNumberOfTracks;
    case 4:
      return Flag::ItemMode;
    case 5:
      return Flag::ItemMediaPresent;
    case 6:
      return Flag::ItemTimeFormat;
    case 7:
      return Flag::ItemReady;
    case 8:
      return Flag::ItemCurrentTrack;
    case 0x4001:
      return Flag::ItemType;  // MCI_CDA_STATUS_TYPE_TRACK
    default:
      return std::nullopt;
  }
}

std::size_t wordCount(const FlagSpec& flagSpec) {
  std::size_t n = 0;
  while (n < flagSpec.words.size() && !flagSpec.words[n].empty()) ++n;
  return n;
}

// The time formats a cdaudio device knows by name or number; other formats
// MCI defines exist but not for CD audio (293), anything else is no format (290).
std::uint32_t parseTimeFormat(const Token& token, TimeFormat& out) {
  const std::string_view t = token.text;
  if (equalsIgnoreCase(t, "msf")) {
    out = TimeFormat::Msf;
  } else if (equalsIgnoreCase(t, "tmsf")) {
    out = TimeFormat::Tmsf;
  } else if (equalsIgnoreCase(t, "milliseconds") || equalsIgnoreCase(t, "ms")) {
    out = TimeFormat::Milliseconds;
  } else if (const auto number = parseInteger(t)) {
    if (*number == 0) {
      out = TimeFormat::Milliseconds;
    } else if (*number == 2) {
      out = TimeFormat::Msf;
    } else if (*number == 10) {
      out = TimeFormat::Tmsf;
    } else {
      return err::kBadTimeFormat;
    }
  } else if (equalsIgnoreCase(t, "hms") || equalsIgnoreCase(t, "frames") ||
             equalsIgnoreCase(t, "bytes") || equalsIgnoreCase(t, "samples") ||
             equalsIgnoreCase(t, "smpte")) {
    return err::kBadTimeFormat;
  } else {
    return err::kBadConstant;
  }
  return err::kNone;
}

void applyItem(Flag flag, Command& c) {
  switch (flag) {
    case Flag::ItemLength:
      c.item = StatusItem::Length;
      break;
    case Flag::ItemPosition:
      c.item = StatusItem::Position;
      break;
    case Flag::ItemNumberOfTracks:
      c.item = StatusItem::NumberOfTracks;
      break;
    case Flag::ItemMode:
      c.item = StatusItem::Mode;
      break;
    case Flag::ItemMediaPresent:
      c.item = StatusItem::MediaPresent;
      break;
    case Flag::ItemTimeFormat:
      c.item = StatusItem::TimeFormat;
      break;
    case Flag::ItemReady:
      c.item = StatusItem::Ready;
      break;
    case Flag::ItemCurrentTrack:
      c.item = StatusItem::CurrentTrack;
      break;
    case Flag::ItemType:
      c.item = StatusItem::TypeTrack;
      break;
    default:
      break;
  }
}

class FlagParser {
 public:
  FlagParser(const std::vector<Token>& tokens, std::span<const FlagSpec> verbFlags, Command& c)
      : tokens_(tokens), verbFlags_(verbFlags), c_(c) {}

  std::uint32_t run() {
    std::size_t i = 2;
    while (i < tokens_.size()) {
      std::size_t length = 0;
      const FlagSpec* flagSpec = longestMatch(i, length);
      if (flagSpec == nullptr) {
        const std::uint32_t code = unknownWord(tokens_[i]);
        if (code != err::kNone) return code;
        ++i;
        continue;
      }
      i += length;
      if (const std::uint32_t code = mark(flagSpec->flag, flagSpec->group)) return code;
      if (const std::uint32_t code = takeArgument(*flagSpec, i)) return code;
    }
    return validate();
  }

 private:
  const FlagSpec* longestMatch(std::size_t at, std::size_t& length) const {
    const FlagSpec* best = nullptr;
    auto consider = [&](const FlagSpec& flagSpec) {
      const std::size_t n = wordCount(flagSpec);
      if (n <= length || at + n > tokens_.size()) return;
      for (std::size_t k = 0; k < n; ++k) {
        const Token& token = tokens_[at + k];
        if (token.quoted || !equalsIgnoreCase(token.text, flagSpec.words[k])) return;
      }
      best = &flagSpec;
      length = n;
    };
    for (const FlagSpec& flagSpec : kCommon) consider(flagSpec);
    for (const FlagSpec& flagSpec : verbFlags_) consider(flagSpec);
    return best;
  }

  // A word that is no keyword of the verb. Status reads it as the item
  // (native answers 290 for "status x nsa"), by name or by number.
  std::uint32_t unknownWord(const Token& token) {
    if (c_.verb != Verb::Status) return err::kUnrecognizedKeyword;
    if (const auto number = parseInteger(token.text)) {
      const auto flag = itemByNumber(*number);
      if (!flag) return err::kBadConstant;
      return mark(*flag, Group::Item);
    }
    return c_.item ? err::kUnrecognizedKeyword : err::kBadConstant;
  }

  std::uint32_t mark(Flag flag, Group group) {
    const auto bit = std::uint64_t{1} << static_cast<unsigned>(flag);
    if (seen_ & bit) return err::kDuplicateFlags;
    if (group != Group::None) {
      const auto groupBit = 1u << static_cast<unsigned>(group);
      if (groups_ & groupBit) return err::kFlagsNotCompatible;
      groups_ |= groupBit;
    }
    seen_ |= bit;
    applyFlag(flag);
    return err::kNone;
  }

  void applyFlag(Flag flag) {
    switch (flag) {
      case Flag::Wait:
        c_.wait = true;
        break;
      case Flag::Notify:
        c_.notify = true;
        break;
      case Flag::Shareable:
        c_.shareable = true;
        break;
      case Flag::SeekToStart:
        c_.seekTarget = SeekTarget::Start;
        break;
      case Flag::SeekToEnd:
        c_.seekTarget = SeekTarget::End;
        break;
      case Flag::SeekTo:
        c_.seekTarget = SeekTarget::Position;
        break;
      case Flag::DoorOpen:
        c_.doorOpen = true;
        break;
      case Flag::DoorClosed:
        c_.doorOpen = false;
        break;
      case Flag::Start:
        c_.start = true;
        break;
      default:
        applyItem(flag, c_);
        break;
    }
  }

  std::uint32_t takeArgument(const FlagSpec& flagSpec, std::size_t& i) {
    if (flagSpec.arg == Arg::None) return err::kNone;
    if (i >= tokens_.size()) {
      switch (flagSpec.arg) {
        case Arg::Integer:
          return err::kBadInteger;
        case Arg::String:
          return err::kMissingStringArgument;
        default:
          return err::kBadConstant;
      }
    }
    const Token& token = tokens_[i++];
    switch (flagSpec.arg) {
      case Arg::Integer: {
        const auto value = parseInteger(token.text);
        if (!value) return err::kBadInteger;
        if (flagSpec.flag == Flag::From) c_.from = *value;
        if (flagSpec.flag == Flag::To) c_.to = *value;
        if (flagSpec.flag == Flag::SeekTo) c_.seekTo = *value;
        if (flagSpec.flag == Flag::Track) c_.track = *value;
        return err::kNone;
      }
      case Arg::String:
        if (flagSpec.flag == Flag::Type) c_.type = token.text;
        if (flagSpec.flag == Flag::Alias) c_.alias = token.text;
        return err::kNone;
      case Arg::TimeFormat: {
        TimeFormat format = TimeFormat::Msf;
        if (const std::uint32_t code = parseTimeFormat(token, format)) return code;
        c_.timeFormat = format;
        return err::kNone;
      }
      case Arg::None:
        break;
    }
    return err::kNone;
  }

  std::uint32_t validate() const {
    switch (c_.verb) {
      case Verb::Seek:
        if (c_.seekTarget == SeekTarget::None) return err::kMissingParameter;
        break;
      case Verb::Set:
        if (!c_.timeFormat && !c_.doorOpen) return err::kMissingParameter;
        break;
      case Verb::Status:
        if (!c_.item) return err::kMissingParameter;
        if (c_.item == StatusItem::TypeTrack && !c_.track) return err::kMissingParameter;
        if (c_.start && c_.track) return err::kFlagsNotCompatible;
        break;
      default:
        break;
    }
    return err::kNone;
  }

  const std::vector<Token>& tokens_;
  std::span<const FlagSpec> verbFlags_;
  Command& c_;
  std::uint64_t seen_ = 0;
  std::uint32_t groups_ = 0;
};

}  // namespace

ParsedCommand parseCommand(std::string_view text) {
  ParsedCommand result;
  thread_local std::vector<Token> tokens;  // reused: a status poll allocates nothing here
  if (const std::uint32_t code = tokenize(text, tokens)) {
    result.headError = code;
    return result;
  }
  if (tokens.empty()) {
    result.headError = err::kMissingCommandString;
    return result;
  }
  const VerbSpec* verb = nullptr;
  for (const VerbSpec& v : kVerbs) {
    if (equalsIgnoreCase(tokens[0].text, v.name)) verb = &v;
  }
  if (verb == nullptr) {
    result.headError = err::kUnrecognizedCommand;
    return result;
  }
  result.command.verb = verb->verb;
  if (tokens.size() < 2) {
    result.headError = err::kMissingDeviceName;
    return result;
  }
  result.command.device = tokens[1].text;
  result.flagError = FlagParser(tokens, verb->flags, result.command).run();
  return result;
}

}  // namespace tavrelo::mci
