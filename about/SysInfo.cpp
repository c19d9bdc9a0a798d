// The system-information button: StartSysInfo and the registry reader it uses.

#include <algorithm>
#include <cstdint>
#include <exception>
#include <string>

#include "about/frmAbout.h"
#include "platform/win32/VbDir.h"
#include "platform/win32/VbRuntime.h"

namespace {

constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
// READ_CONTROL | KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY |
// KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY | KEY_CREATE_LINK: what the window has
// always asked for. It is neither KEY_READ (0x20019) nor KEY_ALL_ACCESS (0xF003F).
constexpr REGSAM KEY_SYSINFO_ACCESS = 0x2003F;
constexpr LONG ERROR_SUCCESS = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD kDataBufferSize = 1024;

const char* const gREGKEYSYSINFO = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const gREGVALSYSINFO = "PATH";
const char* const gREGKEYSYSINFOLOC = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const gREGVALSYSINFOLOC = "MSINFO";

// Closes the key however GetKeyValue leaves, a run-time error included.
class KeyCloser {
 public:
  explicit KeyCloser(HKEY& key) : key_(key) {}
  KeyCloser(const KeyCloser&) = delete;
  KeyCloser& operator=(const KeyCloser&) = delete;
  ~KeyCloser() { RegCloseKey(key_); }  // 0 when the open failed; the result is not read

 private:
  HKEY& key_;
};

// "&h" and the number's hexadecimal digits, upper case, no leading zeros:
// 258 gives "&h102". The bytes are the value's, least significant first; at
// most four count.
std::string dwordText(const std::string& bytes) {
  std::uint32_t number = 0;
  const std::size_t count = std::min<std::size_t>(bytes.size(), 4);
  for (std::size_t i = count; i-- > 0;) {
    number = (number << 8) | static_cast<unsigned char>(bytes[i]);
  }
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string digits;
  do {
    digits.insert(digits.begin(), kDigits[number & 0xF]);
    number >>= 4;
  } while (number != 0);
  return "&h" + digits;
}

}  // namespace

void frmAbout::StartSysInfo() {
  try {
    std::string ToolPath;
    // Lookup 1 names the tool itself, which is started untested; lookup 2
    // names the folder that must hold MSINFO32.EXE.
    bool found = GetKeyValue(HKEY_LOCAL_MACHINE, gREGKEYSYSINFO, gREGVALSYSINFO, ToolPath);
    if (!found && GetKeyValue(HKEY_LOCAL_MACHINE, gREGKEYSYSINFOLOC, gREGVALSYSINFOLOC, ToolPath)) {
      const std::string tool = ToolPath + "\\MSINFO32.EXE";
      if (!Dir(tool).empty()) {
        ToolPath = tool;
        found = true;
      }
    }
    if (found) {
      Shell(ToolPath, vbNormalFocus);
      return;
    }
  } catch (const std::exception&) {
    // A run-time error above (a path that cannot start, a value of 0 bytes)
    // ends in the same message.
  }
  MsgBox("Information Systeme introuvable !", vbOKOnly);
}

bool frmAbout::GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef,
                           std::string& KeyVal) {
  HKEY KeyHandle = 0;
  const KeyCloser closer(KeyHandle);

  if (RegOpenKeyExA(KeyRoot, KeyName.c_str(), 0, KEY_SYSINFO_ACCESS, &KeyHandle) != ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }

  std::string DataBuffer(kDataBufferSize, '\0');
  DWORD DataSize = kDataBufferSize;
  DWORD DataType = 0;
  if (RegQueryValueExA(KeyHandle, SubKeyRef.c_str(), nullptr, &DataType,
                       reinterpret_cast<BYTE*>(DataBuffer.data()), &DataSize) != ERROR_SUCCESS) {
    KeyVal.clear();
    return false;
  }
  DataSize = std::min(DataSize, kDataBufferSize);

  // Only the last reported byte is looked at: a zero there is the text's
  // terminator; zeros elsewhere stay. A 0-byte value has no last byte, which
  // is VB's "Invalid procedure call" (run-time error 5).
  if (DataSize == 0) throw VbError("Invalid procedure call or argument");
  const std::string kept = DataBuffer[DataSize - 1] == '\0' ? DataBuffer.substr(0, DataSize - 1)
                                                            : DataBuffer.substr(0, DataSize);

  switch (DataType) {
    case REG_SZ:
      KeyVal = kept;
      break;
    case REG_DWORD:
      KeyVal = dwordText(kept);
      break;
    default:
      break;  // any other type leaves KeyVal as it came in
  }
  return true;
}
