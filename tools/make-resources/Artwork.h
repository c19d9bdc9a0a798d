#pragma once

#include <QImage>
#include <QPoint>

namespace tavrelo::artwork {

// Every drawing is vector work on a 32 x 32 design grid, scaled to the size
// asked for, lit from the top left. Results are ARGB32 (premultiplied) unless
// said otherwise; nothing depends on the screen or the time of day.

enum class Button { Previous, Play, Next, Pause, Stop, Eject, Load, Volume, Quit };
inline constexpr Button kAllButtons[] = {Button::Previous, Button::Play,   Button::Next,
                                         Button::Pause,    Button::Stop,   Button::Eject,
                                         Button::Load,     Button::Volume, Button::Quit};
// File stem of a button's picture: "previous", "play", ...
const char* buttonName(Button button);

// A compact disc with a musical note beside it, `size` x `size` pixels.
QImage drawApplicationIcon(int size);
// One of the nine button glyphs on a transparent ground, `size` x `size`.
QImage drawButton(Button button, int size);
// 141 x 23, opaque: the program's name in yellow italics on olive 128,128,0.
QImage drawBanner();
// 100 x 44: a rounded yellow-orange donation button, transparent around it.
QImage drawDonationButton();
// 32 x 32 pixel art in 16 colours (Format_Indexed8, entry 0 transparent):
// a white pointing hand with a black outline and a blue cuff.
QImage drawHandCursor();
// Where the index finger's tip is in drawHandCursor().
inline constexpr QPoint kHandHotSpot{12, 1};

}  // namespace tavrelo::artwork
