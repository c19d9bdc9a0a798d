#pragma once

// The program's pictures as Qt resource paths, for QPixmap, QIcon, QImage.
// Each button icon has a @2x companion (64 x 64) for high-density screens.
#include <QCursor>
#include <QIcon>
#include <QPoint>

namespace tavrelo::resources {

// 32 x 32, 256 colours, 1-bit mask: a compact disc with a musical note.
inline constexpr const char* kApplicationIcon = ":/tavrelo/icons/tavrelo2.ico";
// 141 x 23 JPEG, "Tavrelo 2" in yellow italics on olive 128,128,0 (exact at the corners).
inline constexpr const char* kBanner = ":/tavrelo/banner.jpg";
// 100 x 44 GIF donation button, transparent around it, edges blended for a black window.
inline constexpr const char* kDonation = ":/tavrelo/donate.gif";
// 32 x 32, 16 colours: a pointing hand, hot spot at the tip of the index finger.
inline constexpr const char* kHandCursor = ":/tavrelo/hand.cur";

// The nine button icons, 32 x 32 with transparency, 256 colours.
inline constexpr const char* kPrevious = ":/tavrelo/buttons/previous.png";  // double chevron left
inline constexpr const char* kPlay = ":/tavrelo/buttons/play.png";          // triangle right
inline constexpr const char* kNext = ":/tavrelo/buttons/next.png";          // double chevron right
inline constexpr const char* kPause = ":/tavrelo/buttons/pause.png";        // two bars
inline constexpr const char* kStop = ":/tavrelo/buttons/stop.png";          // square
inline constexpr const char* kEject = ":/tavrelo/buttons/eject.png";        // disc on an open tray
inline constexpr const char* kLoad = ":/tavrelo/buttons/load.png";          // note, disc, player
inline constexpr const char* kVolume = ":/tavrelo/buttons/volume.png";      // speaker on a page
inline constexpr const char* kQuit = ":/tavrelo/buttons/quit.png";          // arrow into a door

inline constexpr const char* kButtons[] = {kPrevious, kPlay, kNext,   kPause, kStop,
                                           kEject,    kLoad, kVolume, kQuit};

// A button's icon with both drawings, 32 x 32 and its @2x companion
// (QIcon looks for @2x files only when the application's own ratio is above
// 1, which misses screens added later). Needs a QGuiApplication.
QIcon buttonIcon(const char* path);
// A picture with its double-size drawing, for screens at a scale factor of 2.
QIcon iconWithDoubleSize(const QString& normal, const QString& large);

// The same icon drawn for the desktop's icon theme (installed as hicolor/NxN/apps/tavrelo2.png).
inline constexpr int kDesktopIconSizes[] = {16, 32, 48, 64, 128, 256};
// ":/tavrelo/icons/hicolor/48x48/tavrelo2.png" for 48.
QString desktopIconPath(int size);

// The application icon for every window: the desktop renderings in every
// size, read with readPicture. Needs a QGuiApplication.
QIcon applicationIcon();

// The hot spot stored in the cursor file; (-1, -1) if the file is missing or
// is not a cursor.
QPoint handCursorHotSpot();
// The hand cursor with its hot spot; the arrow if the picture cannot be
// read. Needs a QGuiApplication.
QCursor handCursor();

}  // namespace tavrelo::resources
