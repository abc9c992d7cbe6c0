#include "history/journal_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "history/journal_line.h"

namespace orvel::history {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool SeekTo(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::int64_t SizeOf(std::FILE* f) {
#ifdef _WIN32
  if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
  return _ftelli64(f);
#else
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
  return ftello(f);
#endif
}

}  // namespace

JournalReader::JournalReader(std::string path) : path_(std::move(path)) {
  if (auto source = SourceOfJournalName(path_)) {
    source_ = std::move(*source);
    knownSource_ = true;
  }
}

void JournalReader::TakeLine(std::string_view line, ReadCount& count) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return;
  const auto parsed = ParseJournalLine(line);
  if (!parsed) {
    ++count.malformed;
    ++malformed_;
    return;
  }
  Sample s;
  s.secs = parsed->secs;
  s.value = parsed->value;
  s.gap = knownSource_ && IsStandIn(source_, parsed->value);
  samples_.push_back(s);
  ++count.samples;
}

bool JournalReader::Update(ReadCount* count) {
  ReadCount local;
  ReadCount& c = count != nullptr ? *count : local;
  c = ReadCount{};
  File f(std::fopen(path_.c_str(), "rb"));
  if (!f) return false;
  const std::int64_t size = SizeOf(f.get());
  if (size < 0) return false;
  if (static_cast<std::uint64_t>(size) < offset_) {
    // Cut short or replaced by another file: what was taken no longer
    // stands in it.
    samples_.clear();
    offset_ = 0;
    malformed_ = 0;
    c.restarted = true;
  }
  if (static_cast<std::uint64_t>(size) == offset_) return true;
  if (!SeekTo(f.get(), offset_)) return false;

  if (samples_.empty()) samples_.reserve(static_cast<std::size_t>(size - offset_) / 24);
  constexpr std::size_t kChunk = 1 << 20;
  std::vector<char> buf(kChunk);
  std::size_t held = 0;  // bytes of an unfinished line at the front of buf
  std::uint64_t pos = offset_;
  for (;;) {
    if (held == buf.size()) buf.resize(buf.size() * 2);  // an absurdly long line
    const std::size_t got = std::fread(buf.data() + held, 1, buf.size() - held, f.get());
    if (got == 0) break;
    const std::size_t end = held + got;
    std::size_t start = 0;
    for (;;) {
      const void* nl = std::memchr(buf.data() + start, '\n', end - start);
      if (nl == nullptr) break;
      const auto at = static_cast<std::size_t>(static_cast<const char*>(nl) - buf.data());
      TakeLine(std::string_view(buf.data() + start, at - start), c);
      start = at + 1;
    }
    pos += start;
    held = end - start;
    if (held > 0 && start > 0) std::memmove(buf.data(), buf.data() + start, held);
  }
  offset_ = pos;
  return true;
}

}  // namespace orvel::history
