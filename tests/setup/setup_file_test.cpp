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
      // A byte-order mark opens the text; UTF-16 reads as the UTF-8 it holds.
      {"\xEF\xBB\xBFminecraft_path=C:\\bom\n", "C:\\bom"},
      {"x\xEF\xBB\xBF\nminecraft_path=\xEF\xBB\xBF" "C", "\xEF\xBB\xBF" "C"},  // only at the start
      {"\xEF\xBB\xBF", kDefault}, {"\xFF\xFE", kDefault}, {"\xFE\xFF", kDefault},
      {"\xFF\xFEm\0=\0C\0\r\0\n\0"s, kDefault},
      {"\xFF\xFEM\0I\0N\0E\0C\0R\0A\0F\0T\0_\0P\0A\0T\0H\0=\0\x16\x04\0\xD8\0\xDC\r\0\n\0"s,
       "\xD0\x96\xF0\x90\x80\x80"},  // Cyrillic and a surrogate pair
      {"\xFE\xFF\0m\0i\0n\0e\0c\0r\0a\0f\0t\0_\0p\0a\0t\0h\0=\xD8\0\0x\xDC\0\0"s,
       "\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD"},  // unpaired surrogates, odd last byte
      {"[general]\n; minecraft_path=C:\\comment\n#x=1\nminecraft_path=C:\\y", "C:\\y"},
      {"=value\nminecraft_path=C:\\y\n=", "C:\\y"},
      {"minecraft_path=C:\\cr\r\r\n", "C:\\cr\r"},  // only one CR ends a line
      {"minecraft_path=C:\\nul\0x\n"s, "C:\\nul\0x"s},
      // One pair of quotes around the value goes, as "Copy as path" writes it.
      // clang-format off
      {"minecraft_path=\"C:\\Program Files\\mc\"", "C:\\Program Files\\mc"},
      {"minecraft_path= \" a \" ", " a "}, {"minecraft_path=\"a\"b\"", "a\"b"},
      {"minecraft_path=a\"b\"", "a\"b\""}, {"minecraft_path=\"", "\""},
      {"minecraft_path=\"<eg.>\"", ""},
      // clang-format on
  };
  for (const auto &c : cases) {
    std::string value = kDefault;
    FindGameFolder(c.text, value);
    EXPECT_EQ(value, c.gameFolder) << c.text;
  }
}

TEST(SetupValue, HomeAndVariablesAsTheShellReadsThem) {
  setenv("HOME", "/home/p", 1), setenv("BRAX_SET", "/set", 1), setenv("BRAX_EMPTY", "", 1);
  unsetenv("BRAX_UNSET");
  // clang-format off
  const char *cases[][2] = {
      {"~", "/home/p"}, {"~/mc", "/home/p/mc"}, {"~x/mc", "~x/mc"}, {"a/~/b", "a/~/b"}, {"", ""},
      {"$BRAX_SET/mc", "/set/mc"}, {"${BRAX_SET}mc", "/setmc"}, {"$BRAX_SET$BRAX_SET", "/set/set"},
      {"$BRAX_SETmc", "$BRAX_SETmc"}, {"$BRAX_UNSET/${BRAX_UNSET}", "$BRAX_UNSET/${BRAX_UNSET}"},
      {"$BRAX_EMPTY/mc", "/mc"}, {"${BRAX_SET", "${BRAX_SET"}, {"$$BRAX_SET", "$/set"}, {"$", "$"},
      {"${", "${"}, {"$1/$(x)/${}/$-", "$1/$(x)/${}/$-"}, {"~/$HOME", "/home/p//home/p"}};
  // clang-format on
  for (const auto &c : cases) EXPECT_EQ(SetupValueToPath(c[0]), c[1]) << c[0];
}

}  // namespace
