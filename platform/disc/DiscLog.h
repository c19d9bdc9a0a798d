#pragma once

#include <functional>
#include <string>

namespace tavrelo::disc {

// Where disc sources report what they skip or refuse on their own (a drive
// that fails during enumeration, an image that became unreadable). By
// default a line on stderr; the drive service points it at its log.
using DiscLogger = std::function<void(const std::string&)>;
void setDiscLogger(DiscLogger logger);  // an empty function restores stderr
void logDisc(const std::string& message);

}  // namespace tavrelo::disc
