#pragma once

// The few Visual Basic run-time services the program's handlers use, with
// their VB names and meanings, over the Desktop interface.

#include <stdexcept>
#include <string>

inline constexpr int vbOKOnly = 0;
inline constexpr int vbInformation = 64;
inline constexpr int vbNormalFocus = 1;

// A VB run-time error ("File not found" from Shell, and the like).
class VbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The application's settings, fixed by the build; tests may change them.
struct AppObject {
  std::string Title = "Tavrelo2";
  int Major = 1;
  int Minor = 1;
  int Revision = 0;
  std::string Path;  // the folder that holds the executable
};
extern AppObject App;

// Modal message box; an empty title shows App.Title. The answer is always OK.
int MsgBox(const std::string& prompt, int buttons = vbOKOnly, const std::string& title = "");

// Starts a program from its path (or a bare name found on PATH) and returns
// at once with a task id. Windows programs the player names ("sndvol32.exe")
// stand for their Linux counterparts. Throws VbError when it can't start.
double Shell(const std::string& pathName, int windowStyle = vbNormalFocus);
