// The password file: refused as ssh refuses a key that others may read.
#include "ringwatch/posix/secret_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace hushcall::ringwatch {
namespace {

class SecretFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/hc-secret.XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = dir_ + "/password";
  }
  void TearDown() override {
    std::remove(path_.c_str());
    ::rmdir(dir_.c_str());
  }
  void Write(const std::string& text, mode_t mode) {
    std::FILE* f = std::fopen(path_.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    ASSERT_EQ(::chmod(path_.c_str(), mode), 0);
  }
  std::string dir_;
  std::string path_;
};

TEST_F(SecretFileTest, TheOwnersFileGivesItsFirstLineWithOrWithoutALineEnd) {
  Write("s3cret pass\r\nsecond line\n", 0600);
  const SecretFile file = ReadSecretFile(path_);
  EXPECT_EQ(file.problem, "");
  EXPECT_EQ(file.secret, "s3cret pass");
  Write("pw", 0400);
  EXPECT_EQ(ReadSecretFile(path_).secret, "pw");
}

TEST_F(SecretFileTest, AnyAccessForGroupOrOthersIsRefusedWithTheMode) {
  for (const mode_t mode : {0640, 0604, 0620, 0602, 0610, 0601, 0644}) {
    Write("pw", mode);
    const SecretFile file = ReadSecretFile(path_);
    EXPECT_EQ(file.secret, "") << std::oct << mode;
    char expected[8];
    std::snprintf(expected, sizeof expected, "%04o", static_cast<unsigned>(mode));
    EXPECT_NE(file.problem.find(std::string("open to group or others (mode ") + expected + ")"),
              std::string::npos)
        << file.problem;
  }
}

TEST_F(SecretFileTest, MissingEmptyTooLargeAndDirectoryAreEachSaid) {
  EXPECT_EQ(ReadSecretFile(path_).problem, "cannot be read: No such file or directory");
  Write("\nsecond", 0600);
  EXPECT_EQ(ReadSecretFile(path_).problem, "holds no password on its first line");
  Write(std::string(5000, 'x'), 0600);
  const SecretFile large = ReadSecretFile(path_);
  EXPECT_EQ(large.secret, "");
  EXPECT_NE(large.problem.find("larger than 4 KiB"), std::string::npos) << large.problem;
  EXPECT_EQ(ReadSecretFile(dir_).problem, "is not a regular file");
}

}  // namespace
}  // namespace hushcall::ringwatch
