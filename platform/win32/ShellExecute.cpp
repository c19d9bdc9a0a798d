// ShellExecuteA over xdg-open: the desktop's registered handler opens the
// target (web browser, mail program, file viewer).

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/win32/Desktop.h"
#include "platform/win32/Win32Api.h"

namespace {

// ShellExecute's results: above 32 is success (Windows answers 42), the
// SE_ERR_* codes below are its failures.
constexpr HINSTANCE kStarted = 42;
constexpr HINSTANCE kFileNotFound = 2;    // SE_ERR_FNF
constexpr HINSTANCE kPathNotFound = 3;    // SE_ERR_PNF
constexpr HINSTANCE kNoAssociation = 31;  // SE_ERR_NOASSOC
constexpr HINSTANCE kOutOfMemory = 8;     // SE_ERR_OOM

bool isOpenVerb(LPCSTR verb) {
  // No verb (null or "") means the default one, which is open.
  if (verb == nullptr || *verb == '\0') return true;
  const std::string_view text(verb);
  return text.size() == 4 && std::equal(text.begin(), text.end(), "open", [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

// "http://host", "mailto:someone": a scheme of at least two characters
// (so that "C:\file" stays a path) followed by a colon.
bool hasUrlScheme(std::string_view target) {
  const std::size_t colon = target.find(':');
  if (colon == std::string_view::npos || colon < 2) return false;
  if (std::isalpha(static_cast<unsigned char>(target.front())) == 0) return false;
  return std::all_of(target.begin(), target.begin() + static_cast<std::ptrdiff_t>(colon),
                     [](char c) {
                       const auto u = static_cast<unsigned char>(c);
                       return std::isalnum(u) != 0 || c == '+' || c == '-' || c == '.';
                     });
}

HINSTANCE openWithDesktop(LPCSTR lpOperation, LPCSTR lpFile, LPCSTR lpDirectory) {
  if (lpFile == nullptr || *lpFile == '\0') return kFileNotFound;
  if (!isOpenVerb(lpOperation)) return kNoAssociation;

  const std::string directory = lpDirectory != nullptr ? lpDirectory : "";
  std::error_code error;
  if (!directory.empty() && !std::filesystem::is_directory(directory, error)) return kPathNotFound;

  std::string target = lpFile;
  if (!hasUrlScheme(target)) {
    std::replace(target.begin(), target.end(), '\\', '/');
    std::filesystem::path file(target);
    if (file.is_relative() && !directory.empty()) file = std::filesystem::path(directory) / file;
    if (!std::filesystem::exists(file, error)) return kFileNotFound;
    // xdg-open would read "-name" as an option of its own.
    if (target.front() == '-') target.insert(0, "./");
  }

  auto& desktop = tavrelo::win32::desktop();
  const std::string opener = desktop.findProgram({"xdg-open"});
  if (opener.empty()) return kNoAssociation;
  if (desktop.startProcess(opener, {target}, directory) == 0) return kNoAssociation;
  return kStarted;
}

}  // namespace

// Opens lpFile with the desktop's handler for it, in lpDirectory, and returns
// without waiting for that handler. Only the open verb exists here (others:
// 31). Parameters belong to programs, and xdg-open opens documents, so they
// are not passed on; the owner window and show command are left to the
// desktop. A local file that is missing gives 2, a missing directory 3, and a
// desktop without xdg-open 31.
HINSTANCE ShellExecuteA(HWND /*hwnd*/, LPCSTR lpOperation, LPCSTR lpFile, LPCSTR /*lpParameters*/,
                        LPCSTR lpDirectory, int /*nShowCmd*/) {
  try {
    return openWithDesktop(lpOperation, lpFile, lpDirectory);
  } catch (...) {
    return kOutOfMemory;  // nothing is thrown across the Win32 function
  }
}
