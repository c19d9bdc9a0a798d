#include "platform/os/Settings.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace tavrelo::os {
namespace {

std::string_view trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool sameName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(x) == lower(y);
  });
}

// A line "[name]" gives its section name; nullopt for any other line.
std::optional<std::string_view> sectionOf(std::string_view line) {
  line = trimmed(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
  return trimmed(line.substr(1, line.size() - 2));
}

// A line "key = value" gives its key; nullopt for comments and other lines.
std::optional<std::string_view> keyOf(std::string_view line, std::string_view* value = nullptr) {
  line = trimmed(line);
  if (line.empty() || line.front() == ';' || line.front() == '#') return std::nullopt;
  const auto equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  if (value) *value = trimmed(line.substr(equals + 1));
  return trimmed(line.substr(0, equals));
}

std::vector<std::string> readLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(std::move(line));
  return lines;
}

}  // namespace

std::filesystem::path settingsFile() {
  std::filesystem::path base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    base = config;
  } else if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    base = std::filesystem::path(home) / ".config";
  } else {
    base = "/tmp";
  }
  return base / "tavrelo2" / "tavrelo2.conf";
}

std::optional<std::string> readSetting(std::string_view section, std::string_view key) {
  bool inSection = false;
  for (const std::string& line : readLines(settingsFile())) {
    if (const auto name = sectionOf(line)) {
      inSection = sameName(*name, section);
      continue;
    }
    std::string_view value;
    if (inSection) {
      if (const auto name = keyOf(line, &value); name && sameName(*name, key)) {
        return std::string(value);
      }
    }
  }
  return std::nullopt;
}

std::optional<bool> readBoolSetting(std::string_view section, std::string_view key) {
  const auto value = readSetting(section, key);
  if (!value) return std::nullopt;
  for (const char* yes : {"true", "yes", "on", "1"}) {
    if (sameName(*value, yes)) return true;
  }
  for (const char* no : {"false", "no", "off", "0"}) {
    if (sameName(*value, no)) return false;
  }
  return std::nullopt;
}

bool writeSetting(std::string_view section, std::string_view key, std::string_view value,
                  std::string& error) {
  const std::filesystem::path file = settingsFile();
  std::vector<std::string> lines = readLines(file);
  const std::string entry = std::string(key) + "=" + std::string(value);

  // The key's line when the section has it; else the end of the section.
  std::optional<size_t> sectionEnd;
  bool inSection = false;
  bool done = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    if (const auto name = sectionOf(lines[i])) {
      if (inSection) break;
      inSection = sameName(*name, section);
      if (inSection) sectionEnd = i + 1;
      continue;
    }
    if (!inSection) continue;
    if (const auto name = keyOf(lines[i]); name && sameName(*name, key)) {
      lines[i] = entry;
      done = true;
    } else if (!trimmed(lines[i]).empty()) {
      sectionEnd = i + 1;
    }
  }
  if (!done && sectionEnd) {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*sectionEnd), entry);
  } else if (!done) {
    if (!lines.empty() && !trimmed(lines.back()).empty()) lines.emplace_back();
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(entry);
  }

  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const std::filesystem::path temporary =
      file.parent_path() / ("." + file.filename().string() + "." + std::to_string(getpid()));
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      error = "cannot write " + temporary.string();
      std::filesystem::remove(temporary, ec);
      return false;
    }
  }
  std::filesystem::rename(temporary, file, ec);
  if (ec) {
    error = "cannot replace " + file.string() + ": " + ec.message();
    std::filesystem::remove(temporary, ec);
    return false;
  }
  return true;
}

}  // namespace tavrelo::os
