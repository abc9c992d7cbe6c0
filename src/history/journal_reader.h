#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "history/journal_source.h"

namespace orvel::history {

// One journal line as the history shows it: a value, or a gap where the
// device wrote a fault code or a stand-in.
struct Sample {
  std::int64_t secs = 0;  // local wall time, seconds since 1 January 1970
  double value = 0.0;     // meaningless for a gap
  bool gap = false;
};

struct ReadCount {
  std::size_t samples = 0;    // lines taken this time (values and gaps)
  std::size_t malformed = 0;  // lines that were no journal line, skipped
  bool restarted = false;     // the file had shrunk: read again from its start
};

// Reads one journal file in steps: each Update takes only the whole lines
// appended since the last one. A last line still without its line end is
// left for a later Update, so a line being written is never taken in half.
class JournalReader {
 public:
  // The kind of file comes from its name; a file under another name is
  // read without stand-ins.
  explicit JournalReader(std::string path);

  // False when the file cannot be opened (it may not exist yet); what was
  // read before stays.
  bool Update(ReadCount* count = nullptr);

  const std::string& path() const { return path_; }
  const JournalSource& source() const { return source_; }
  const std::vector<Sample>& samples() const { return samples_; }
  // Bytes of the file taken so far, always at a line start.
  std::uint64_t offset() const { return offset_; }
  std::size_t malformed() const { return malformed_; }

 private:
  void TakeLine(std::string_view line, ReadCount& count);

  std::string path_;
  JournalSource source_;
  bool knownSource_ = false;
  std::vector<Sample> samples_;
  std::uint64_t offset_ = 0;
  std::size_t malformed_ = 0;
};

}  // namespace orvel::history
