// Windows command-line words: the splitting Linux's RunCommand uses, and the
// quoting Setup puts around the jar.
#include "command_line.h"

#include <gtest/gtest.h>

namespace {

using Words = std::vector<std::string>;

TEST(CommandLine, SplitsTheWayAWindowsProgramDoes) {
  const struct {
    std::string text;
    Words words;
  } cases[] = {
      // clang-format off
      {"", {}}, {"   ", {}}, {"d x.jar META-INF", {"d", "x.jar", "META-INF"}},
      {"a  -r\tx.jar *", {"a", "-r", "x.jar", "*"}},
      {"d \"C:\\Users\\John Smith\\x.jar\" META-INF",
       {"d", "C:\\Users\\John Smith\\x.jar", "META-INF"}},
      {"\"\"", {""}}, {"a\"b c\"d", {"ab cd"}}, {"\\\\server\\share", {"\\\\server\\share"}},
      {"a\\\\\"b c\"", {"a\\b c"}}, {"a\\\"b", {"a\"b"}}, {"a\\\\\\\"b", {"a\\\"b"}},
      {"\"a \"\"b\"\" c\"", {"a \"b\" c"}}, {"\"unclosed quote", {"unclosed quote"}},
      {"trailing\\", {"trailing\\"}},
      // clang-format on
  };
  for (const auto &c : cases) EXPECT_EQ(SplitCommandLine(c.text), c.words) << c.text;
}

TEST(CommandLine, QuotedWordsComeBackWhole) {
  for (const std::string word :
       {"", "plain", "with space", "it's", "say \"hi\"", "ends\\", "ends\\\\", "\\\"", "a\\b\\\"c",
        "/tmp/My \"Games\" it's/.mine craft/versions/1.6.4-BRAX/1.6.4-BRAX.jar", "tab\there",
        "$(rm -rf x) `y` ; & | %APPDATA%", "-rf"}) {
    const std::string text = "d " + QuoteArgument(word) + " META-INF";
    EXPECT_EQ(SplitCommandLine(text), (Words{"d", word, "META-INF"})) << text;
  }
}

}  // namespace
