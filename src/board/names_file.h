#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "onewire/rom_code.h"

namespace orvel::board {

// The user's names for sensors: UTF-8 lines "ROM = name", the ROM in either
// spelling, "#" starting a comment line. Read at start; written only when
// the user names a sensor, through a temporary file renamed over the old
// one, keeping comments and every other line as they were.
class NamesFile {
 public:
  struct Problem {
    int line = 0;  // 1-based
    std::string text;
  };

  explicit NamesFile(std::filesystem::path path);

  // $XDG_CONFIG_HOME/orvel/names.conf, else ~/.config/orvel/names.conf
  // (%APPDATA%\orvel\names.conf on Windows).
  static std::filesystem::path DefaultPath();

  // Reads the file; a missing file is an empty one. A line that cannot be
  // understood is reported and kept, never fatal. Returns false only when
  // an existing file could not be read.
  bool Load();
  const std::vector<Problem>& problems() const { return problems_; }

  const std::map<onewire::RomCode, std::string>& names() const { return names_; }
  std::string NameOf(const onewire::RomCode& rom) const;

  // Gives `rom` the name (trimmed; empty removes it) and writes the file.
  // An existing line for the ROM is replaced where it stands, in the
  // spelling it had; a new one is appended. Returns an empty string, or what
  // went wrong (the file is then left as it was).
  std::string Rename(const onewire::RomCode& rom, const std::string& name);

  const std::filesystem::path& path() const { return path_; }

 private:
  struct Line {
    std::string text;  // as read, without the line end
    bool isName = false;
    onewire::RomCode rom{};
  };

  std::string Write(const std::vector<Line>& lines) const;

  std::filesystem::path path_;
  std::vector<Line> lines_;
  std::vector<Problem> problems_;
  std::map<onewire::RomCode, std::string> names_;
};

}  // namespace orvel::board
