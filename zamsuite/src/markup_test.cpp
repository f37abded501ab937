// Escaping: markup characters, white space in text and attributes, control bytes, bad UTF-8.
#include "markup.h"

#include <gtest/gtest.h>

namespace zamsuite {
namespace {

TEST(MarkupTest, MarkupCharactersWhiteSpaceControlBytesAndUtf8) {
  EXPECT_EQ(escape_text("a<b>&\"c\"'d'"), "a&lt;b&gt;&amp;&quot;c&quot;&#39;d&#39;");
  EXPECT_EQ(escape_text("t\tn\nr\r"), "t\tn\nr&#13;");
  EXPECT_EQ(escape_attribute("t\tn\nr\r"), "t&#9;n&#10;r&#13;");
  static const char controls[] = "nul\0bel\x07" "esc\x1b" "del\x7f";
  EXPECT_EQ(escape_text(std::string(controls, sizeof controls - 1)), "nul\\x00bel\\x07esc\\x1Bdel\\x7F");
  EXPECT_EQ(escape_text("\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"), "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80");
  // A lone continuation byte, a cut sequence, an overlong form, a surrogate, U+FFFF.
  EXPECT_EQ(escape_text("\x80|\xC3|\xC0\xAF|\xED\xA0\x80|\xEF\xBF\xBF"),
            "\\x80|\\xC3|\\xC0\\xAF|\\xED\\xA0\\x80|\\xEF\\xBF\\xBF");
  EXPECT_EQ(escape_text("\xE2\x82"), "\\xE2\\x82");
  EXPECT_EQ(escape_text(""), "");
}

}  // namespace
}  // namespace zamsuite
