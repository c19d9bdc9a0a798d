#pragma once

#include <string>

// VB's Dir with its default attributes, for one path without wildcards: the
// file's name when `pathName` names a normal file (not a folder, not hidden),
// "" otherwise. Backslashes are Windows separators and become slashes, so
// "/opt/tool" + "\MSINFO32.EXE" tests /opt/tool/MSINFO32.EXE. Hidden means
// a name that begins with a dot; Linux has no system files. Names match with
// case, as Linux file systems do.
std::string Dir(const std::string& pathName);
