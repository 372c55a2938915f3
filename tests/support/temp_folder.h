// A temporary folder for one test, made current while the test runs and
// removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brax-unit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    previous_ = here;
    ASSERT_EQ(chdir(root_.c_str()), 0);
  }
  void TearDown() override {
    ASSERT_EQ(chdir(previous_.c_str()), 0);
    ASSERT_EQ(std::system(("rm -rf '" + root_ + "'").c_str()), 0);
  }

  std::string Path(const std::string &name) const { return root_ + "/" + name; }
  void Write(const std::string &name, const std::string &content = "x") const {
    std::ofstream(Path(name), std::ios::binary) << content;
  }
  std::string Read(const std::string &name) const {
    std::ifstream file(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  void Folder(const std::string &name) const { ASSERT_EQ(mkdir(Path(name).c_str(), 0755), 0); }
  bool Exists(const std::string &name) const {
    struct stat info;
    return lstat(Path(name).c_str(), &info) == 0;
  }

  std::string root_;
  std::string previous_;
};
