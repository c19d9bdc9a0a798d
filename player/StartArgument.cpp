#include "player/StartArgument.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool endsWithCue(std::string_view path) {
  if (path.size() <= 4) return false;
  std::string end(path.substr(path.size() - 4));
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".cue" && path[path.size() - 5] != '/';
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Addresses carry bytes past ASCII and spaces as %XX; a stray '%' or a NUL
// makes the address unusable.
std::optional<std::string> percentDecoded(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    const int high = hexDigit(text[i + 1]);
    const int low = hexDigit(text[i + 2]);
    if (high < 0 || low < 0 || (high == 0 && low == 0)) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

// A device name as GVfs puts it in the host part: "sr0", "cdrom".
bool plainDeviceName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         std::all_of(name.begin(), name.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-' ||
                  c == '.';
         });
}

StartArgument invalid(std::string_view argument, const char* why) {
  return {StartArgument::Kind::Invalid, std::string(why) + ": " + std::string(argument)};
}

StartArgument fromCdda(std::string_view argument) {
  std::string_view rest = argument.substr(std::string_view("cdda://").size());
  // "cdda:///dev/sr0[/...]": the device is the path's first two parts.
  if (startsWith(rest, "/dev/")) rest.remove_prefix(5);
  const std::string_view name = rest.substr(0, rest.find('/'));
  const auto decoded = percentDecoded(name);
  if (!decoded || !plainDeviceName(*decoded))
    return invalid(argument, "no CD drive in the address");
  return {StartArgument::Kind::Device, "/dev/" + *decoded};
}

StartArgument sheet(std::string_view argument, std::string_view path,
                    std::string_view currentDirectory) {
  if (!endsWithCue(path)) return invalid(argument, "neither a CD drive nor a CUE sheet");
  std::filesystem::path full(path);
  if (full.is_relative()) full = std::filesystem::path(currentDirectory) / full;
  return {StartArgument::Kind::CueSheet, full.lexically_normal().string()};
}

}  // namespace

StartArgument parseStartArgument(std::string_view argument, std::string_view currentDirectory) {
  if (argument.empty() || argument.find('\0') != std::string_view::npos) {
    return invalid(argument, "empty argument");
  }
  if (startsWith(argument, "cdda://")) return fromCdda(argument);
  if (startsWith(argument, "file://")) {
    std::string_view rest = argument.substr(std::string_view("file://").size());
    if (startsWith(rest, "localhost/")) rest.remove_prefix(std::string_view("localhost").size());
    const auto path = percentDecoded(rest);
    if (!startsWith(rest, "/") || !path) return invalid(argument, "not a local file");
    return sheet(argument, *path, currentDirectory);
  }
  if (startsWith(argument, "/dev/")) {
    const std::filesystem::path device(argument);
    const bool inDev =
        std::all_of(device.begin(), device.end(), [](const auto& part) { return part != ".."; });
    if (!inDev || !device.has_filename()) return invalid(argument, "no CD drive at this path");
    return {StartArgument::Kind::Device, device.string()};
  }
  return sheet(argument, argument, currentDirectory);
}
