// setup.ini's reader over the line forms that occur.
#include "setup_file.h"

#include <gtest/gtest.h>

namespace {

using namespace std::string_literals;

const std::string kDefault = "/home/player/.minecraft/";

TEST(SetupText, LastLineWithTheKeyWins) {
  const struct {
    std::string text;
    std::string gameFolder;
  } cases[] = {
      {"", kDefault},
      {"other=1\nno equals sign\n", kDefault},
      {"minecraft_path=D:\\Games\\mc", "D:\\Games\\mc"},
      {"  MINECRAFT_PATH  =   D:\\Games\\mc   ", "D:\\Games\\mc"},
      {"Minecraft_Path=D:\\Games\\mc\\\r\n", "D:\\Games\\mc\\"},
      {"minecraft_path\t=D:\\x", kDefault},       // a tab stays part of the key
      {"minecraft_path=\tD:\\x\t", "\tD:\\x\t"},  // and of the value
      {"minecraft_path=", ""},
      {"minecraft_path=   ", ""},
      {"minecraft_path=<eg. C:\\Users\\x\\>", ""},
      {"minecraft_path= <", ""},
      {"minecraft_path=a<b", "a<b"},
      {"minecraft_path=D:\\a=b\\", "D:\\a=b\\"},
      {"minecraft_path=%appdata%\\.minecraft\\", "%appdata%\\.minecraft\\"},
      {"minecraft_path=C:\\one\r\nminecraft_path=C:\\two\r\n", "C:\\two"},
      {"minecraft_path=C:\\one\nminecraft_path=\n", ""},
      {"minecraft_path=C:\\one\nminecraft_path=C:\\two", "C:\\two"},
      {"\xEF\xBB\xBFminecraft_path=C:\\bom\n", kDefault},  // the mark is part of the key
      {"\xEF\xBB\xBFminecraft_path=C:\\bom\nminecraft_path=C:\\b", "C:\\b"},
      {"[general]\n; minecraft_path=C:\\comment\n#x=1\nminecraft_path=C:\\y", "C:\\y"},
      {"=value\nminecraft_path=C:\\y\n=", "C:\\y"},
      {"minecraft_path=C:\\cr\r\r\n", "C:\\cr\r"},  // only one CR ends a line
      {"minecraft_path=C:\\nul\0x\n"s, "C:\\nul\0x"s},
  };
  for (const auto &c : cases) {
    std::string value = kDefault;
    FindGameFolder(c.text, value);
    EXPECT_EQ(value, c.gameFolder) << c.text;
  }
}

}  // namespace
