#include "platform/disc/CueImage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

#include "platform/disc/CueSheet.h"
#include "platform/os/Log.h"

namespace tavrelo::disc {
namespace {

std::string readSheetText(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) throw DiscError("the sheet does not exist");
  if (!std::filesystem::is_regular_file(status)) throw DiscError("the sheet is not a file");
  const auto size = std::filesystem::file_size(path, ec);
  if (ec) throw DiscError(std::string("cannot read the sheet: ") + ec.message());
  if (size > kMaxSheetBytes) {
    throw DiscError("the sheet is " + std::to_string(size) +
                    " bytes long; a CUE sheet is a small text file");
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DiscError(std::string("cannot open the sheet: ") + std::strerror(errno));
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw DiscError("cannot read the sheet");
  return text;
}

// `wanted` in `parent`, ignoring case when only one entry matches that way.
std::optional<std::filesystem::path> findInFolder(const std::filesystem::path& parent,
                                                  const std::string& wanted) {
  std::error_code ec;
  if (std::filesystem::exists(parent / wanted, ec)) return parent / wanted;
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::optional<std::filesystem::path> match;
  int matches = 0;
  for (const auto& entry : std::filesystem::directory_iterator(parent, ec)) {
    if (lower(entry.path().filename().string()) == lower(wanted)) {
      match = entry.path();
      ++matches;
    }
  }
  return matches == 1 ? match : std::nullopt;
}

// A FILE name as written on any system: relative to the sheet's folder, the
// backslashes of Windows sheets taken as separators, a name that differs
// only in case accepted when it is the only such name (sheets written on
// Windows), and a path that leads nowhere ("C:\Rips\a.wav") tried as a bare
// name beside the sheet, where moved rips keep their files. Returns the path
// as written when nothing is found, for the message.
std::filesystem::path resolveFile(const std::filesystem::path& folder, std::string name) {
  if (name.find('/') == std::string::npos) std::replace(name.begin(), name.end(), '\\', '/');
  std::filesystem::path path(name);
  if (path.is_relative()) path = folder / path;
  if (auto found = findInFolder(path.parent_path(), path.filename().string())) return *found;
  if (auto found = findInFolder(folder, path.filename().string())) return *found;
  return path;
}

}  // namespace

std::unique_ptr<CueImage> CueImage::open(const std::filesystem::path& sheet) {
  std::unique_ptr<CueImage> image(new CueImage(std::filesystem::absolute(sheet)));
  image->load();
  return image;
}

std::unique_ptr<CueImage> CueImage::openAsDrive(const std::filesystem::path& sheet) {
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(sheet, ec);
  std::unique_ptr<CueImage> image(new CueImage(ec ? sheet : absolute));
  image->loadOrLog();
  return image;
}

void CueImage::load() {
  disc_.reset();
  state_ = MediaState::NoDisc;
  try {
    const CueSheet sheet = parseCueSheet(readSheetText(sheet_));
    const std::vector<int> blockBytes = fileBlockBytes(sheet);
    Disc disc;
    std::vector<std::int64_t> sectors;
    for (std::size_t f = 0; f < sheet.files.size(); ++f) {
      const SheetFile& file = sheet.files[f];
      const std::filesystem::path path = resolveFile(sheet_.parent_path(), file.name);
      std::error_code ec;
      if (!std::filesystem::exists(path, ec)) {
        const std::filesystem::path beside = sheet_.parent_path() / path.filename();
        throw DiscError("line " + std::to_string(file.line) + ": \"" + file.name +
                        "\" not found: looked for " + path.string() +
                        (beside != path ? " and " + beside.string() : std::string()) +
                        "; put the file there or correct the FILE line");
      }
      try {
        disc.files.push_back(openSectorFile(path, file.type, blockBytes[f]));
      } catch (const DiscError& e) {
        throw DiscError("line " + std::to_string(file.line) + ": " + e.what());
      }
      sectors.push_back(disc.files.back()->sectors());
    }
    disc.layout = layOutDisc(sheet, sectors);
    disc_ = std::move(disc);
    if (!notesLogged_) {
      for (const std::string& note : sheet.notes) os::log(sheet_.string() + ": " + note);
      notesLogged_ = true;
    }
  } catch (const DiscError& e) {
    lastError_ = sheet_.string() + ": " + e.what();
    throw DiscError(lastError_);
  } catch (const std::exception& e) {
    // Allocation failures, filesystem errors: still a refused sheet, not a crash.
    lastError_ = sheet_.string() + ": " + e.what();
    throw DiscError(lastError_);
  }
  lastError_.clear();
  state_ = MediaState::DiscPresent;
}

bool CueImage::loadOrLog() {
  try {
    load();
    return true;
  } catch (const DiscError& e) {
    os::log(std::string("no disc: ") + e.what());
    return false;
  }
}

const DiscLayout& CueImage::layout() const {
  if (!disc_) {
    throw DiscError(describe() +
                    (state_ == MediaState::TrayOpen ? ": the tray is open" : ": no disc"));
  }
  return disc_->layout;
}

Toc CueImage::readToc() {
  return layout().toc;
}

int CueImage::readAudio(Lba lba, int count, std::span<std::uint8_t> out) {
  const DiscLayout& disc = layout();
  if (count <= 0 || lba >= disc.toc.leadOut) return 0;
  if (lba < kLeadInFrames) {
    throw DiscError(describe() + ": address " + std::to_string(lba) + " lies in the lead-in");
  }
  count = std::min(count, disc.toc.leadOut - lba);
  if (out.size() < static_cast<std::size_t>(count) * kSectorBytes) {
    throw DiscError("readAudio: the buffer holds fewer than " + std::to_string(count) + " sectors");
  }
  Lba at = lba;
  const Lba end = lba + count;
  while (at < end) {
    const Piece* piece = disc.pieceAt(at);
    if (piece == nullptr) throw DiscError("internal: address " + std::to_string(at) + " unmapped");
    const int n = std::min(end, piece->end) - at;
    auto chunk = out.subspan(static_cast<std::size_t>(at - lba) * kSectorBytes,
                             static_cast<std::size_t>(n) * kSectorBytes);
    if (piece->file < 0) {
      std::fill(chunk.begin(), chunk.end(), std::uint8_t{0});
    } else {
      disc_->files[static_cast<std::size_t>(piece->file)]->read(
          piece->fileSector + (at - piece->start), n, chunk);
    }
    at += n;
  }
  // Data tracks read as silence: their bytes are no sound.
  for (const Track& track : disc.toc.tracks) {
    if (track.audio) continue;
    const Lba from = std::max(lba, track.start);
    const Lba to = std::min(end, disc.toc.trackEnd(track.number));
    if (from < to) {
      std::fill(out.begin() + static_cast<std::ptrdiff_t>(from - lba) * kSectorBytes,
                out.begin() + static_cast<std::ptrdiff_t>(to - lba) * kSectorBytes,
                std::uint8_t{0});
    }
  }
  return count;
}

void CueImage::eject() {
  if (state_ == MediaState::TrayOpen) return;
  disc_.reset();
  state_ = MediaState::TrayOpen;
  ++generation_;
}

void CueImage::closeTray() {
  if (state_ != MediaState::TrayOpen) return;
  ++generation_;
  loadOrLog();
}

}  // namespace tavrelo::disc
