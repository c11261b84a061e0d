#include <gtest/gtest.h>

#include "platform/Utf8.h"

namespace {

TEST(Utf8, DecodesEveryFormAndReplacesEachMalformedByteOnItsOwn) {
    EXPECT_EQ(utf8::ToUtf32("aé日😀"), U"aé日😀");
    EXPECT_EQ(utf8::ToUtf16("a\xF0\x9F\x98\x80"), u"a😀");
    EXPECT_EQ(utf8::FromUtf32(U"aé日😀"), "aé日😀");
    EXPECT_TRUE(utf8::IsValid("aé日😀\xEF\xBF\xBD"));
    EXPECT_TRUE(utf8::IsValid("\xF4\x8F\xBF\xBF"));  // U+10FFFF, the last one

    struct Row {
        const char* what;
        std::string bytes;
        std::u32string decoded;
    } malformed[] = {
        {"overlong 2-byte NUL", "\xC0\x80", U"\uFFFD\uFFFD"},
        {"overlong 3-byte slash", "\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},
        {"overlong 4-byte form", "\xF0\x8F\xBF\xBF", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"high surrogate", "\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
        {"low surrogate", "\xED\xBF\xBFz", U"\uFFFD\uFFFD\uFFFDz"},
        {"past U+10FFFF", "\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"F5 and FF leads", "\xF5\xFF", U"\uFFFD\uFFFD"},
        {"stray continuation", "a\x80", U"a\uFFFD"},
        {"truncated at the end", "a\xE6\x97", U"a\uFFFD\uFFFD"},
        {"truncated before ASCII", "\xF0\x9F\x98z", U"\uFFFD\uFFFD\uFFFDz"},
    };
    for (const Row& r : malformed) {
        SCOPED_TRACE(r.what);
        EXPECT_EQ(utf8::ToUtf32(r.bytes), r.decoded);
        EXPECT_FALSE(utf8::IsValid(r.bytes));
    }

    SCOPED_TRACE("what cannot be encoded becomes U+FFFD");
    EXPECT_EQ(utf8::FromUtf32(std::u32string{0xD800, 0x110000, U'x'}), "\xEF\xBF\xBD\xEF\xBF\xBDx");
    EXPECT_EQ(utf8::FromUtf16(u"a😀日"), "a😀日");
    EXPECT_EQ(utf8::FromUtf16(std::u16string{0xDC00, u'x', 0xD800}), "\xEF\xBF\xBDx\xEF\xBF\xBD");
}

}  // namespace
