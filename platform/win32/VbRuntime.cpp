#include "platform/win32/VbRuntime.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/win32/Desktop.h"

namespace {

std::string executableFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

struct Program {
  std::string name;
  std::vector<std::string> args;
};

// The desktop's volume mixers, in order of preference, standing in for
// Windows' sndvol32.exe.
const std::array<Program, 4> kVolumeMixers{{
    {"pavucontrol", {}},
    {"pwvucontrol", {}},
    {"gnome-control-center", {"sound"}},
    {"kmix", {}},
}};

double start(const Program& program) {
  auto& desktop = tavrelo::win32::desktop();
  const std::string path = desktop.findProgram({program.name});
  const std::int64_t taskId = path.empty() ? 0 : desktop.startProcess(path, program.args, {});
  if (taskId == 0) throw VbError("File not found: " + program.name);
  return static_cast<double>(taskId);
}

}  // namespace

AppObject App{
    .Title = "Tavrelo2", .Major = 1, .Minor = 1, .Revision = 0, .Path = executableFolder()};

int MsgBox(const std::string& prompt, int buttons, const std::string& title) {
  tavrelo::win32::desktop().showMessage(prompt, buttons, title.empty() ? App.Title : title);
  constexpr int vbOK = 1;
  return vbOK;
}

// The command line is the program's path alone: the player passes bare paths,
// and splitting on blanks would break paths that hold one. Backslashes are
// Windows separators and become slashes.
double Shell(const std::string& pathName, int /*windowStyle*/) {
  if (equalsIgnoringCase(pathName, "sndvol32.exe") || equalsIgnoringCase(pathName, "sndvol32")) {
    for (const Program& mixer : kVolumeMixers) {
      if (!tavrelo::win32::desktop().findProgram({mixer.name}).empty()) return start(mixer);
    }
    throw VbError("File not found: " + pathName);
  }
  std::string path = pathName;
  std::replace(path.begin(), path.end(), '\\', '/');
  if (path.empty()) throw VbError("File not found");
  return start(Program{path, {}});
}
