#include "tests/disc/cdrom/DriveState.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <sstream>

namespace tavrelo::cdrom {

bool DriveState::isNamed(const std::string& path) const {
  return path == node || std::find(aliases.begin(), aliases.end(), path) != aliases.end();
}

int DriveState::openCount() const {
  return static_cast<int>(std::count_if(
      opens.begin(), opens.end(), [&](const Opener& o) { return o.generation == generation; }));
}

std::int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string serialize(const DriveState& s) {
  std::ostringstream out;
  out << "node " << s.node << "\nflags " << s.plugged << s.denied << s.trayOpen << s.locked
      << s.canCloseTray << s.refusesSpeed << s.mediaChanged << s.hasDisc << "\nnumbers "
      << s.generation << ' ' << s.readyAtMs << ' ' << s.spinUpMs << ' ' << s.speed << ' '
      << s.unreadableDelayMs << ' ' << s.readCommands << ' ' << s.lastReadTimeoutMs << ' '
      << s.disc.lastSession << ' ' << s.disc.toc.leadOut << ' ' << s.failedReads << "\nimage "
      << s.disc.image.string() << "\nalbum " << s.disc.text.album << "\nperformer "
      << s.disc.text.performer << '\n';
  for (const auto& alias : s.aliases) out << "alias " << alias << '\n';
  for (const auto& t : s.disc.toc.tracks)
    out << "track " << t.number << ' ' << t.start << ' ' << t.audio << '\n';
  for (Lba lba : s.unreadable) out << "unreadable " << lba << '\n';
  for (const auto& o : s.opens) out << "open " << o.pid << ' ' << o.generation << '\n';
  for (std::size_t i = 0; i < s.disc.text.titles.size(); ++i)
    out << "title " << i << ' ' << s.disc.text.titles[i] << '\n';
  for (std::size_t i = 0; i < s.disc.text.performers.size(); ++i)
    out << "trackperformer " << i << ' ' << s.disc.text.performers[i] << '\n';
  return out.str();
}

namespace {
std::string rest(std::istream& in) {
  std::string text;
  if (in.peek() == ' ') in.get();
  std::getline(in, text);
  return text;
}

void putAt(std::vector<std::string>& list, std::istream& in) {
  std::size_t i = 0;
  in >> i;
  if (i >= 99) return;
  if (list.size() <= i) list.resize(i + 1);
  list[i] = rest(in);
}
}  // namespace

DriveState parse(const std::string& text) {
  DriveState s;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    std::string key;
    in >> key;
    if (key == "node") s.node = rest(in);
    if (key == "alias") s.aliases.push_back(rest(in));
    if (key == "image") s.disc.image = rest(in);
    if (key == "album") s.disc.text.album = rest(in);
    if (key == "performer") s.disc.text.performer = rest(in);
    if (key == "title") putAt(s.disc.text.titles, in);
    if (key == "trackperformer") putAt(s.disc.text.performers, in);
    if (key == "flags") {
      std::string f = rest(in);
      f.resize(8, '0');
      bool* flags[] = {&s.plugged,      &s.denied,       &s.trayOpen,     &s.locked,
                       &s.canCloseTray, &s.refusesSpeed, &s.mediaChanged, &s.hasDisc};
      for (int i = 0; i < 8; ++i) *flags[i] = f[i] == '1';
    }
    if (key == "numbers") {
      in >> s.generation >> s.readyAtMs >> s.spinUpMs >> s.speed >> s.unreadableDelayMs >>
          s.readCommands >> s.lastReadTimeoutMs >> s.disc.lastSession >> s.disc.toc.leadOut >>
          s.failedReads;
    }
    if (key == "track") {
      disc::Track t;
      in >> t.number >> t.start >> t.audio;
      s.disc.toc.tracks.push_back(t);
    }
    if (key == "unreadable") {
      Lba lba = 0;
      if (in >> lba) s.unreadable.push_back(lba);
    }
    if (key == "open") {
      Opener o;
      if (in >> o.pid >> o.generation) s.opens.push_back(o);
    }
  }
  return s;
}

bool updateState(const std::filesystem::path& file,
                 const std::function<bool(DriveState&)>& change) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::flock(fd, LOCK_EX);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  DriveState state = parse(text);
  const auto dead = std::erase_if(
      state.opens, [](const Opener& o) { return ::kill(o.pid, 0) != 0 && errno == ESRCH; });
  if (change(state) || dead > 0) {
    const std::string out = serialize(state);
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, out.data(), out.size(), 0) < 0) {
      ::close(fd);
      return false;
    }
  }
  ::close(fd);  // and the lock with it
  return true;
}

std::vector<std::filesystem::path> driveFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".drive") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace tavrelo::cdrom
