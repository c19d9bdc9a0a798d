#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavrelo::win32 {

// What the program asks of the desktop, behind one interface so tests can
// record it. The real desktop shows Qt message boxes and starts programs
// directly (never through a shell).
class Desktop {
 public:
  virtual ~Desktop() = default;

  // Modal; returns when the user has closed it. `style` has the Windows
  // meanings (0: OK only; 64: information icon and OK). Lines are split on a
  // lone carriage return. The caller has already resolved an empty title.
  virtual void showMessage(const std::string& text, int style, const std::string& title) = 0;
  // Modal, with a question mark and the buttons "Oui" and "Non" (Windows'
  // style 36); true for "Oui". Closing the box answers "Non".
  virtual bool askYesNo(const std::string& text, const std::string& title) = 0;

  // Starts `program` (a path, or a name looked up on PATH) with `args` in
  // `directory` (empty: the current one), detached (os::spawnDetached).
  // Returns the new process's id, 0 when it could not be started.
  virtual std::int64_t startProcess(const std::string& program,
                                    const std::vector<std::string>& args,
                                    const std::string& directory) = 0;

  // The full path of the first of `names` found on PATH, or "".
  virtual std::string findProgram(const std::vector<std::string>& names) = 0;
};

Desktop& desktop();
// Puts a test double in place of the real desktop; nullptr puts the real one back.
void setDesktop(Desktop* replacement);

}  // namespace tavrelo::win32
