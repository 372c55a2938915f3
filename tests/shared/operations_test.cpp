// The shared operations on real files, folders and processes.
#include "operations.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "temp_folder.h"
#include "test_abort.h"

namespace {

class Operations : public TempFolderTest {
 protected:
  // A program that writes its arguments, one a line, to args.txt and exits
  // with the code given as its first argument.
  std::string Script(const std::string &name, const std::string &body) {
    Write(name, "#!/bin/sh\n" + body + "\n");
    chmod(Path(name).c_str(), 0755);
    return Path(name);
  }
};

TEST_F(Operations, ProgramFolderIsTheExecutablesFolder) {
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  ASSERT_GT(length, 0);
  std::string path(self, static_cast<std::size_t>(length));
  EXPECT_EQ(ProgramFolder(), path.substr(0, path.rfind('/') + 1));
}

TEST_F(Operations, FileExistsCountsOnlyVisibleRegularFiles) {
  Write("mod.jar");
  Write(".hidden.zip");
  Write("a[1].txt");
  Folder("folder.jar");
  Folder("sub");
  Write("sub/inner.class");
  ASSERT_EQ(symlink("mod.jar", Path("link.jar").c_str()), 0);
  ASSERT_EQ(symlink("sub", Path("link-to-folder").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", Path("dangling").c_str()), 0);
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0644), 0);
  const struct {
    std::string path;
    bool exists;
  } cases[] = {
      {"mod.jar", true},         {Path("mod.jar"), true},
      {"missing.jar", false},    {"folder.jar", false},
      {".hidden.zip", false},    {"*.zip", false},
      {"*.jar", true},           {"m?d.jar", true},
      {"m?.jar", false},         {"a[1].txt", true},
      {"sub/inner.class", true}, {"sub/*", true},
      {"sub/", false},           {"link.jar", true},
      {"link-to-folder", false}, {"dangling", false},
      {"fifo", false},           {"f*", false},
      {"missing/*.jar", false},  {"", false},
  };
  for (const auto &c : cases) EXPECT_EQ(FileExists(c.path), c.exists) << c.path;
}

TEST_F(Operations, FolderExistsLeavesTheCurrentFolderWhereItWas) {
  Folder("game");
  Write("file");
  ASSERT_EQ(symlink("game", Path("link").c_str()), 0);
  const struct {
    std::string path;
    bool exists;
  } cases[] = {
      {"game", true},  {"game/", true},  {"./game", true},           {Path("game"), true},
      {"link/", true}, {"file", false},  {"missing", false},         {"game/missing", false},
      {"", false},     {"file/", false}, {Path("game") + "/", true},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(FolderExists(c.path), c.exists) << c.path;
    EXPECT_EQ(CurrentFolder(), root_) << c.path;
  }
}

TEST_F(Operations, ChangeFolderAndCreateFolder) {
  EXPECT_TRUE(CreateFolder("made"));
  EXPECT_FALSE(CreateFolder("made"));  // exists already
  EXPECT_FALSE(CreateFolder("no/such/parent"));
  EXPECT_TRUE(ChangeFolder("made/"));
  EXPECT_EQ(CurrentFolder(), Path("made"));
  EXPECT_FALSE(ChangeFolder("missing"));
  EXPECT_EQ(CurrentFolder(), Path("made"));
}

TEST_F(Operations, RemoveFileDeletesFilesOnly) {
  Write("old.jar");
  Folder("folder");
  EXPECT_TRUE(RemoveFile("old.jar"));
  EXPECT_FALSE(Exists("old.jar"));
  EXPECT_FALSE(RemoveFile("old.jar"));
  EXPECT_FALSE(RemoveFile("folder"));
  EXPECT_TRUE(Exists("folder"));
}

TEST_F(Operations, CopyOrAbortReplacesOrAbortsWithItsMessage) {
  Write("source", std::string(200000, 's'));
  Write("destination", "old, and longer than nothing");
  CopyOrAbort("source", "destination");
  EXPECT_EQ(Read("destination"), std::string(200000, 's'));

  const struct {
    std::string source, destination;
  } failures[] = {
      {"missing", "destination"},    // no source
      {"source", "no/such/folder"},  // no destination folder
      {"source", "source"},          // onto itself: must not empty it
      {".", "copy"},                 // a folder is no file
  };
  for (const auto &f : failures) {
    try {
      CopyOrAbort(f.source, f.destination);
      ADD_FAILURE() << f.source << " -> " << f.destination << " did not abort";
    } catch (const Aborted &aborted) {
      EXPECT_EQ(aborted.message, "A error occurred while copying " + f.source + " to " +
                                     f.destination + "\r\n\r\nInstaller will now exit.");
    }
  }
  EXPECT_EQ(Read("source"), std::string(200000, 's'));
  EXPECT_FALSE(Exists("copy"));
}

TEST_F(Operations, RunCommandGivesExitCodesAndWindowsStyleWords) {
  Script("args", "printf '%s\\n' \"$0\" \"$@\" > args.txt; exit 3");
  Script("killed", "kill -9 $$");
  Write("plain", "not a program");
  EXPECT_EQ(RunCommand("./args", "a -r \"with space.jar\" *"), 3);
  EXPECT_EQ(Read("args.txt"), "./args\na\n-r\nwith space.jar\n*\n");
  EXPECT_EQ(RunCommand(Path("args"), ""), 3);
  EXPECT_EQ(Read("args.txt"), Path("args") + "\n");
  EXPECT_EQ(RunCommand("./killed", ""), 128 + 9);
  EXPECT_EQ(RunCommand("./missing", "x"), -1);
  EXPECT_EQ(RunCommand("./plain", "x"), -1);   // not executable
  EXPECT_EQ(RunCommand("sh", "-c true"), -1);  // never looked up in the search path
  EXPECT_EQ(RunCommand("", "x"), -1);
}

TEST_F(Operations, ExitCodeTextIsSignedDecimal) {
  EXPECT_EQ(ExitCodeText(0), "0");
  EXPECT_EQ(ExitCodeText(-1), "-1");
  EXPECT_EQ(ExitCodeText(137), "137");
  EXPECT_EQ(ExitCodeText(INT_MAX), "2147483647");
  EXPECT_EQ(ExitCodeText(INT_MIN), "-2147483648");
}

TEST_F(Operations, RunShellCommandAndEnvironment) {
  EXPECT_EQ(RunShellCommand(""), -1);
  EXPECT_EQ(RunShellCommand("exit 4"), 4);
  setenv("BRAX_TEST_VARIABLE", "C:\\x y", 1);
  EXPECT_EQ(ReadEnvironment("BRAX_TEST_VARIABLE"), "C:\\x y");
  unsetenv("BRAX_TEST_VARIABLE");
  EXPECT_EQ(ReadEnvironment("BRAX_TEST_VARIABLE"), "");
  EXPECT_EQ(ReadEnvironment(""), "");
}

// The removal command takes exactly the folder named, whatever it holds.
TEST_F(Operations, RemoveFolderCommandRemovesExactlyThatFolder) {
  for (const std::string name : {"plain", "with space", "it's", "$(touch pwned)", "`touch pwned`",
                                 "a;touch pwned", "-rf", "a\"b", "a\\b", "semi & amp | pipe"}) {
    Folder(name);
    Write(name + "/inside");
    Folder(name + " sibling");
    RunShellCommand(RemoveFolderCommand(Path(name) + "/"));
    EXPECT_FALSE(Exists(name)) << name;
    EXPECT_TRUE(Exists(name + " sibling")) << name;
    EXPECT_FALSE(Exists("pwned")) << name;
  }
  // A link to a folder goes itself; the folder it points to stays.
  Folder("target");
  Write("target/keep");
  ASSERT_EQ(symlink("target", Path("link").c_str()), 0);
  RunShellCommand(RemoveFolderCommand(Path("link") + "/"));
  EXPECT_FALSE(Exists("link"));
  EXPECT_TRUE(Exists("target/keep"));
}

}  // namespace
