// Journal files in a folder whose name is not in the ANSI code page: the
// folder chooser answers in UTF-8, and the file must land under that name.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "measure/journal_files.h"
#include "win32/wide_text.h"

namespace orvel::win32 {
namespace {

TEST(JournalPath, CyrillicFolderNameReachesTheFileSystemIntact) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring folder =
      std::wstring(temp) + L"журнал-" + std::to_wstring(::GetCurrentProcessId());
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr) ||
              ::GetLastError() == ERROR_ALREADY_EXISTS);
  const std::wstring file = folder + L"\\Ксил-1.csv";

  measure::OsJournalFiles files;
  int error = -1;
  auto journal = files.OpenForAppend(Utf8(file), error);
  ASSERT_NE(journal, nullptr) << "error " << error;
  EXPECT_EQ(journal->Write("1;2\r\n", 5), 5);
  EXPECT_TRUE(journal->Close());
  EXPECT_NE(::GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES)
      << "the file is not under its UTF-8 name";
  ::DeleteFileW(file.c_str());
  ::RemoveDirectoryW(folder.c_str());
}

}  // namespace
}  // namespace orvel::win32
