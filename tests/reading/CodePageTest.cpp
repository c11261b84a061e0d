#include "HexBytes.h"
#include "reading/CodePage.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using reading::CodePageLength;
using reading::WideToCodePage;


// Converts into a buffer of exactly `capacity` bytes followed by a guard zone.
std::string Convert(int cp, std::u16string_view text, std::size_t capacity) {
    std::vector<char> buf(capacity + 16, '\x5A');
    const std::size_t n = WideToCodePage(cp, text, buf.data(), capacity);
    for (std::size_t i = capacity; i < buf.size(); ++i)
        EXPECT_EQ(buf[i], '\x5A') << "overrun at " << i;
    if (capacity == 0) {
        EXPECT_EQ(n, 0u);
        return {};
    }
    EXPECT_LT(n, capacity);
    EXPECT_EQ(buf[n], '\0') << "terminator";
    return std::string(buf.data(), n);
}

std::string Convert(int cp, std::u16string_view text) {
    const std::size_t length = CodePageLength(cp, text);
    const std::string out = Convert(cp, text, length + 1);
    EXPECT_EQ(out.size(), length);
    return out;
}

TEST(CodePage, EngineEncodings) {
    struct Row {
        int cp;
        std::u16string text;
        const char* hex;
    };
    const Row rows[] = {
        {932, u"日本語 abc", "93FA967B8CEA20616263"},
        {932, u"ｱ", "B1"},
        {1252, u"café €", "636166E92080"},
        {936, u"中文", "D6D0CEC4"},
        {949, u"한국어", "C7D1B1B9BEEE"},
        // Characters the code page lacks become '?', the rest is still converted.
        {1252, u"日本a", "3F3F61"},
        {932, u"한a", "3F61"},
        {932, u"😀x", "3F78"},  // one default character for a surrogate pair
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.cp);
        EXPECT_EQ(Hex(Convert(r.cp, r.text)), r.hex);
    }
}

TEST(CodePage, MalformedUtf16BecomesDefaultCharacters) {
    const std::u16string loneHigh = {u'a', char16_t(0xD800), u'b'};
    const std::u16string loneLow = {char16_t(0xDC00), u'c'};
    const std::u16string highAtEnd = {u'd', char16_t(0xDBFF)};
    const std::u16string swapped = {char16_t(0xDC00), char16_t(0xD800), u'e'};
    for (int cp : {932, 1252, 936, 949}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(Convert(cp, loneHigh), "a?b");
        EXPECT_EQ(Convert(cp, loneLow), "?c");
        EXPECT_EQ(Convert(cp, highAtEnd), "d?");
        EXPECT_EQ(Convert(cp, swapped), "??e");
    }
}

TEST(CodePage, BoundsAndTerminator) {
    {
        SCOPED_TRACE("ends at the first zero unit");
        EXPECT_EQ(Convert(932, std::u16string(u"ab\0cd", 5)), "ab");
    }
    {
        SCOPED_TRACE("never cuts a double-byte character, always terminated");
        EXPECT_EQ(Hex(Convert(932, u"a日本", 4)), "6193FA");
        EXPECT_EQ(Hex(Convert(932, u"a日本", 3)), "61");
        EXPECT_EQ(Hex(Convert(949, u"한국", 2)), "");
        EXPECT_EQ(Convert(932, u"abc", 1), "");
        Convert(932, u"abc", 0);
    }
    {
        SCOPED_TRACE("default characters count against the room too");
        EXPECT_EQ(Convert(1252, u"日日日日", 3), "??");
    }
    {
        SCOPED_TRACE("unknown code page converts nothing");
        EXPECT_EQ(Convert(65001, u"abc", 8), "");
        EXPECT_EQ(CodePageLength(65001, u"abc"), 0u);
    }
    {
        SCOPED_TRACE("long text across iconv's chunks");
        std::u16string text;
        for (int i = 0; i < 5000; ++i) text += u"日本a";
        const std::string out = Convert(932, text);
        EXPECT_EQ(out.size(), 25000u);
        EXPECT_EQ(Hex(out.substr(24995)), "93FA967B61");
        // Cut mid-way at an odd byte: the last character that fits is whole.
        EXPECT_EQ(Convert(932, text, 10000).size(), 9999u);
    }
}

}  // namespace

namespace {

// Characters are converted one at a time and remembered: every character of the plane, each
// after an unconvertible one and once more when already known, must come out as iconv gives
// it alone, or the default character where iconv has none.
TEST(CodePage, EveryCharacterAsIconvConvertsItAlone) {
    for (const auto& [cp, name] : {std::pair{932, "CP932"}, {1252, "CP1252"}, {936, "CP936"},
                                   {949, "CP949"}}) {
        SCOPED_TRACE(cp);
        const iconv_t cd = iconv_open(name, "UTF-16LE");
        ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
        const std::string hangul = Convert(cp, u"\uAC00");
        std::u16string text;
        std::string expected;
        for (char32_t c = 1; c < 0x10000; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF) continue;
            char16_t unit = static_cast<char16_t>(c);
            char out[8];
            char* in = reinterpret_cast<char*>(&unit);
            char* o = out;
            std::size_t inLeft = 2, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1);
            const std::string one = ok ? std::string(out, o) : "?";
            text += {u'\uAC00', unit};
            expected += hangul + one;
        }
        iconv_close(cd);
        const std::string twice = expected + expected;
        const std::string got = Convert(cp, text + text);
        ASSERT_EQ(got.size(), twice.size());
        EXPECT_TRUE(got == twice) << "differs at byte "
                                  << std::mismatch(twice.begin(), twice.end(), got.begin()).first -
                                         twice.begin();
    }
}

}  // namespace
