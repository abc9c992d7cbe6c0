#include "measure/journal_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>

#include <filesystem>
#else
#include <unistd.h>
#endif

namespace orvel::measure {
namespace {

#ifdef _WIN32
// Paths are UTF-8 (the folder chooser's answer among them); the narrow
// call would read them in the ANSI code page.
int OpenAppend(const char* path) {
  const std::filesystem::path wide(std::u8string(reinterpret_cast<const char8_t*>(path)));
  return ::_wopen(wide.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
}
std::int64_t SizeOf(int fd) { return ::_lseeki64(fd, 0, SEEK_END); }
std::int64_t WriteTo(int fd, const char* data, std::size_t size) {
  return ::_write(fd, data, static_cast<unsigned>(size));
}
bool CutTo(int fd, std::int64_t length) { return ::_chsize_s(fd, length) == 0; }
bool CloseFd(int fd) { return ::_close(fd) == 0; }
#else
int OpenAppend(const char* path) {
  int fd;
  do {
    fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}
std::int64_t SizeOf(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}
std::int64_t WriteTo(int fd, const char* data, std::size_t size) {
  ssize_t n;
  do {
    n = ::write(fd, data, size);
  } while (n < 0 && errno == EINTR);  // interrupted before any byte went out
  return n;
}
bool CutTo(int fd, std::int64_t length) { return ::ftruncate(fd, length) == 0; }
bool CloseFd(int fd) { return ::close(fd) == 0; }
#endif

class OsJournalFile final : public JournalFile {
 public:
  explicit OsJournalFile(int fd) : fd_(fd) {}
  ~OsJournalFile() override {
    if (fd_ >= 0) CloseFd(fd_);
  }
  std::int64_t Size() override { return SizeOf(fd_); }
  std::int64_t Write(const char* data, std::size_t size) override {
    const std::int64_t n = WriteTo(fd_, data, size);
    if (n < 0) Note();
    return n;
  }
  bool Truncate(std::int64_t length) override { return CutTo(fd_, length) || Note(); }
  bool Close() override {
    const int fd = fd_;
    fd_ = -1;
    return CloseFd(fd) || Note();
  }
  int Error() const override { return error_; }

 private:
  // Keeps the first failure's errno; false, for the failing call to return.
  bool Note() {
    if (error_ == 0) error_ = errno;
    return false;
  }

  int fd_;
  int error_ = 0;
};

}  // namespace

std::unique_ptr<JournalFile> OsJournalFiles::OpenForAppend(const std::string& path, int& error) {
  error = 0;
  const int fd = OpenAppend(path.c_str());
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  return std::make_unique<OsJournalFile>(fd);
}

}  // namespace orvel::measure
