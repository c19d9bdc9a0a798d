// Threading: the module is loaded once, by the first thread that needs it
// (std::call_once); the entry point it gives is then read by any thread.
#include "platform/disc/DecoderModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

#include "platform/disc/DiscSource.h"

namespace tavrelo::disc {
namespace {

struct Module {
  OpenCodedFile open = nullptr;
  std::string error;  // why it could not be loaded
};

// Installed, the module lies at a fixed place relative to the programs; in
// the build tree, where tests run from folders of their own, at its build path.
std::vector<std::filesystem::path> places() {
  std::vector<std::filesystem::path> out;
  std::error_code ec;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) out.push_back(program.parent_path() / TAVRELO_DECODERS_FROM_BINDIR);
  out.emplace_back(TAVRELO_DECODERS_BUILT);
  return out;
}

const Module& module() {
  static Module loaded;
  static std::once_flag once;
  std::call_once(once, [] {
    for (const auto& path : places()) {
      if (::access(path.c_str(), R_OK) != 0) continue;
      void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr) {
        loaded.error = ::dlerror();
        return;
      }
      loaded.open = reinterpret_cast<OpenCodedFile>(::dlsym(handle, "tavrelo2OpenCodedFile"));
      if (loaded.open == nullptr) loaded.error = path.string() + " has no decoder entry point";
      return;
    }
    loaded.error =
        "the decoder module is not installed (looked for " + places().front().string() + ")";
  });
  return loaded;
}

}  // namespace

std::unique_ptr<SectorFile> openCodedFile(const std::filesystem::path& path, CodedFormat format) {
  const Module& decoders = module();
  if (decoders.open == nullptr) {
    throw DiscError("\"" + path.filename().string() + "\" is " + formatName(format) +
                    ", which needs FFmpeg's libraries: " + decoders.error +
                    "; reinstall tavrelo2 with its dependencies");
  }
  std::unique_ptr<SectorFile> file;
  std::string error;
  decoders.open(path.c_str(), static_cast<int>(format), &file, &error);
  if (!file) throw DiscError(error.empty() ? "the decoder module failed" : error);
  return file;
}

}  // namespace tavrelo::disc
