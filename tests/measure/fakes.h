#pragma once

#include <cerrno>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "measure/journal_files.h"

namespace orvel::measure::testing {

// An in-memory file system with the faults a journal meets: an open that
// fails (a file held by another program) and a disk that fills up after a
// number of bytes.
class FakeJournalFiles final : public JournalFiles {
 public:
  std::map<std::string, std::string> files;
  std::vector<std::string> refuseOpen;  // paths whose open fails
  int refuseError = EACCES;             // with this errno, as a file held by another program
  std::int64_t spaceLeft = -1;          // bytes the disk still takes; -1 unlimited
  bool failClose = false;               // with EIO
  int opens = 0;
  int openNow = 0;  // files currently open

  std::unique_ptr<JournalFile> OpenForAppend(const std::string& path, int& error) override;
};

class FakeJournalFile final : public JournalFile {
 public:
  FakeJournalFile(FakeJournalFiles& fs, std::string path) : fs_(fs), path_(std::move(path)) {
    ++fs_.openNow;
  }
  ~FakeJournalFile() override {
    if (open_) --fs_.openNow;
  }
  std::int64_t Size() override { return static_cast<std::int64_t>(fs_.files[path_].size()); }
  std::int64_t Write(const char* data, std::size_t size) override {
    std::size_t n = size;
    if (fs_.spaceLeft >= 0) {
      n = std::min<std::size_t>(size, static_cast<std::size_t>(fs_.spaceLeft));
      fs_.spaceLeft -= static_cast<std::int64_t>(n);
      if (n == 0) return Fail(ENOSPC);
    }
    fs_.files[path_].append(data, n);
    return static_cast<std::int64_t>(n);
  }
  bool Truncate(std::int64_t length) override {
    auto& text = fs_.files[path_];
    if (fs_.spaceLeft >= 0) fs_.spaceLeft += static_cast<std::int64_t>(text.size()) - length;
    text.resize(static_cast<std::size_t>(length));
    return true;
  }
  bool Close() override {
    if (open_) --fs_.openNow;
    open_ = false;
    if (!fs_.failClose) return true;
    Fail(EIO);
    return false;
  }
  int Error() const override { return error_; }

 private:
  int Fail(int error) {
    if (error_ == 0) error_ = error;
    return -1;
  }

  FakeJournalFiles& fs_;
  std::string path_;
  bool open_ = true;
  int error_ = 0;
};

inline std::unique_ptr<JournalFile> FakeJournalFiles::OpenForAppend(const std::string& path,
                                                                    int& error) {
  ++opens;
  error = 0;
  for (const auto& p : refuseOpen) {
    if (p == path) {
      error = refuseError;
      return nullptr;
    }
  }
  files[path];  // created by the first open
  return std::make_unique<FakeJournalFile>(*this, path);
}

}  // namespace orvel::measure::testing
