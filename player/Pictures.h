#pragma once

// Qt resource paths of the main window's pictures.
namespace pictures {

inline constexpr const char* kApplicationIcon = ":/tavrelo/icons/tavrelo2.ico";
inline constexpr const char* kBanner = ":/tavrelo/banner.jpg";
inline constexpr const char* kPrevious = ":/tavrelo/buttons/previous.png";
inline constexpr const char* kPlay = ":/tavrelo/buttons/play.png";
inline constexpr const char* kNext = ":/tavrelo/buttons/next.png";
inline constexpr const char* kPause = ":/tavrelo/buttons/pause.png";
inline constexpr const char* kStop = ":/tavrelo/buttons/stop.png";
inline constexpr const char* kEject = ":/tavrelo/buttons/eject.png";
inline constexpr const char* kLoad = ":/tavrelo/buttons/load.png";
inline constexpr const char* kVolume = ":/tavrelo/buttons/volume.png";
inline constexpr const char* kQuit = ":/tavrelo/buttons/quit.png";

}  // namespace pictures
