#include "util/ioerror.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace ordalyn {
namespace {

TEST(IoError, CarriesTheCodeTheFileNameAndTheSystemsText) {
  const IoError error = IoError::FromOs(ENOSPC, "Cannot write to file", "trace.log");
  EXPECT_EQ(error.ErrorCode(), ENOSPC);
  EXPECT_EQ(error.FileName(), "trace.log");
  EXPECT_EQ(std::string(error.what()), "Cannot write to file \"trace.log\": " + OsErrorText(ENOSPC) +
                                           " (OS error " + std::to_string(ENOSPC) + ")");
}

TEST(IoError, LeavesOutAnUnknownFileName) {
  const IoError error = IoError::FromOs(ENOENT, "Cannot create file", "");
  EXPECT_EQ(std::string(error.what()),
            "Cannot create file: " + OsErrorText(ENOENT) + " (OS error " + std::to_string(ENOENT) + ")");
}

TEST(IoError, NotOpenForOutputNamesTheFile) {
  const IoError error = IoError::NotOpenForOutput("C:\\logs\\a.log");
  EXPECT_EQ(error.ErrorCode(), NotOpenErrorCode());
  EXPECT_EQ(std::string(error.what()),
            "Cannot write to file \"C:\\logs\\a.log\": File not open for output (OS error " +
                std::to_string(NotOpenErrorCode()) + ")");
}

TEST(IoError, IsARuntimeError) {
  try {
    throw IoError(5, "Access denied", "x");
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Access denied");
    return;
  }
  ADD_FAILURE() << "not caught as std::runtime_error";
}

#ifndef _WIN32
TEST(OsErrorText, ReadsTheCLibrarysTextWithoutTrailingStop) {
  EXPECT_EQ(OsErrorText(ENOSPC), "No space left on device");
  EXPECT_EQ(OsErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(NotOpenErrorCode(), EBADF);
  EXPECT_FALSE(OsErrorText(987654).empty());
}
#endif

}  // namespace
}  // namespace ordalyn
