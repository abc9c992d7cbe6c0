#include "board/names_file.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <system_error>

#include "board/rom_spellings.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace orvel::board {
namespace {

std::string Trim(const std::string& s) {
  const char* ws = " \t\r";
  const auto first = s.find_first_not_of(ws);
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(ws);
  return s.substr(first, last - first + 1);
}

std::string NameOfLine(const std::string& text) { return Trim(text.substr(text.find('=') + 1)); }

}  // namespace

NamesFile::NamesFile(std::filesystem::path path) : path_(std::move(path)) {}

std::filesystem::path NamesFile::DefaultPath() {
#ifdef _WIN32
  const char* appData = std::getenv("APPDATA");
  std::filesystem::path base = appData && *appData ? appData : ".";
#else
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path base;
  if (xdg && *xdg == '/') {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::filesystem::path(home && *home ? home : ".") / ".config";
  }
#endif
  return base / "orvel" / "names.conf";
}

bool NamesFile::Load() {
  lines_.clear();
  problems_.clear();
  names_.clear();
  std::error_code ec;
  if (!std::filesystem::exists(path_, ec)) return true;
  std::ifstream in(path_, std::ios::binary);
  if (!in) return false;
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    Line line{text};
    const std::string trimmed = Trim(text);
    if (!trimmed.empty() && trimmed[0] != '#') {
      const auto eq = trimmed.find('=');
      if (eq == std::string::npos) {
        problems_.push_back({number, "no \"=\" between ROM and name"});
      } else if (auto rom = ParseEitherSpelling(Trim(trimmed.substr(0, eq)))) {
        const std::string name = NameOfLine(trimmed);
        if (name.empty()) {
          problems_.push_back({number, "empty name"});
        } else {
          line.isName = true;
          line.rom = *rom;
          names_[*rom] = name;  // a later line for the same ROM wins
        }
      } else {
        problems_.push_back(
            {number, "not a ROM code with a valid CRC: \"" + Trim(trimmed.substr(0, eq)) + "\""});
      }
    }
    lines_.push_back(std::move(line));
  }
  return !in.bad();
}

std::string NamesFile::NameOf(const onewire::RomCode& rom) const {
  auto it = names_.find(rom);
  return it == names_.end() ? std::string() : it->second;
}

std::string NamesFile::Rename(const onewire::RomCode& rom, const std::string& name) {
  std::string clean = Trim(name);
  for (char& c : clean) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::vector<Line> lines;
  bool placed = false;
  for (const Line& line : lines_) {
    if (!line.isName || line.rom != rom) {
      lines.push_back(line);
      continue;
    }
    if (placed || clean.empty()) continue;  // earlier duplicates go with the change
    const std::string spelling = Trim(line.text.substr(0, line.text.find('=')));
    lines.push_back({spelling + " = " + clean, true, rom});
    placed = true;
  }
  if (!placed && !clean.empty())
    lines.push_back({onewire::RomText(rom) + " = " + clean, true, rom});

  if (std::string error = Write(lines); !error.empty()) return error;
  lines_ = std::move(lines);
  if (clean.empty()) {
    names_.erase(rom);
  } else {
    names_[rom] = clean;
  }
  return {};
}

std::string NamesFile::Write(const std::vector<Line>& lines) const {
  std::error_code ec;
  if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
  if (ec) return path_.parent_path().string() + ": " + ec.message();
  std::filesystem::path temp = path_;
  temp += ".tmp";
  std::FILE* f = std::fopen(temp.string().c_str(), "wb");
  if (!f) return temp.string() + ": cannot create";
  bool ok = true;
  for (const Line& line : lines) {
    ok = ok && std::fputs(line.text.c_str(), f) >= 0 && std::fputc('\n', f) != EOF;
  }
  ok = ok && std::fflush(f) == 0;
#ifndef _WIN32
  ok = ok && ::fsync(::fileno(f)) == 0;
#endif
  ok = std::fclose(f) == 0 && ok;
  if (ok) std::filesystem::rename(temp, path_, ec);
  if (!ok || ec) {
    std::filesystem::remove(temp, ec);
    return path_.string() + ": cannot write";
  }
  return {};
}

}  // namespace orvel::board
