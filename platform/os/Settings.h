#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tavrelo::os {

// The settings the window and the drive service share: an INI file,
// $XDG_CONFIG_HOME/tavrelo2/tavrelo2.conf (XDG_CONFIG_HOME when it holds an
// absolute path, else ~/.config). Read afresh at each call, so a change made
// by one process is seen by the other at its next read.
//
//   [titles]
//   online=true
//   [sound]
//   deemphasis=false
//
// Section and key names compare without regard to case; blanks around names
// and values are ignored; lines starting with ';' or '#' are comments.
std::filesystem::path settingsFile();

// The value of `key` in `section`, nullopt when the file, the section or the
// key is missing.
std::optional<std::string> readSetting(std::string_view section, std::string_view key);

// "true"/"yes"/"on"/"1" and "false"/"no"/"off"/"0"; anything else (or a
// missing key) is nullopt.
std::optional<bool> readBoolSetting(std::string_view section, std::string_view key);

// Sets `key` in `section`, keeping every other line of the file as it is.
// Written to a temporary file beside it and renamed, so a reader never sees
// half a file. False with `error` saying why when it cannot be written.
bool writeSetting(std::string_view section, std::string_view key, std::string_view value,
                  std::string& error);

}  // namespace tavrelo::os
