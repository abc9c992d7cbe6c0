#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace orvel::measure {

// One journal file opened for appending.
class JournalFile {
 public:
  virtual ~JournalFile() = default;
  // Current length in bytes, -1 when unknown.
  virtual std::int64_t Size() = 0;
  // One write at the end of the file: the bytes written, -1 on error.
  virtual std::int64_t Write(const char* data, std::size_t size) = 0;
  // Cuts the file back to `length` bytes.
  virtual bool Truncate(std::int64_t length) = 0;
  virtual bool Close() = 0;
  // The system's error number (errno) of the first call that failed; 0 while
  // none has.
  virtual int Error() const = 0;
};

// The file system as the journal needs it. A fake stands in for tests of
// a full disk or a file held by another program.
class JournalFiles {
 public:
  virtual ~JournalFiles() = default;
  // Opens the file for appending, creating it when missing; nullptr when
  // that fails, with the system's error number in `error`.
  virtual std::unique_ptr<JournalFile> OpenForAppend(const std::string& path, int& error) = 0;
};

// The real file system.
class OsJournalFiles final : public JournalFiles {
 public:
  std::unique_ptr<JournalFile> OpenForAppend(const std::string& path, int& error) override;
};

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

}  // namespace orvel::measure
