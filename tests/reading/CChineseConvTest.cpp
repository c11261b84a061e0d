#include "HexBytes.h"
#include "reading/CChineseConv.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const CChineseConv conv;

unsigned Pair(unsigned code) {
    const unsigned char src[2] = {static_cast<unsigned char>(code >> 8),
                                  static_cast<unsigned char>(code)};
    unsigned char dst[2] = {};
    conv.QzPairToGb(dst, src);
    return dst[0] << 8 | dst[1];
}


// Converts with a guard zone after the 2 * count + 1 bytes the caller must provide.
std::string Convert(const std::string& src, std::size_t count, std::size_t* returned = nullptr) {
    std::vector<unsigned char> dst(2 * count + 1 + 16, 0xCC);
    const std::size_t n =
        conv.ConvertQzToGb(dst.data(), reinterpret_cast<const unsigned char*>(src.c_str()), count);
    if (returned) *returned = n;
    EXPECT_LE(n, 2 * count);
    EXPECT_EQ(dst[n], 0) << "terminator";
    for (std::size_t i = 2 * count + 1; i < dst.size(); ++i)
        EXPECT_EQ(dst[i], 0xCC) << "overrun at " << i;
    return std::string(reinterpret_cast<const char*>(dst.data()), n);
}

TEST(CChineseConv, WorkedValues) {
    EXPECT_EQ(Pair(0x8140), 0xA1A1u);
    EXPECT_EQ(Pair(0x82A0), 0xA4A2u);
    EXPECT_EQ(Pair(0x889F), 0xB0A1u);
    EXPECT_EQ(Pair(0xF282), 0xE946u);
    EXPECT_EQ(Pair(0xFA40), 0xF7F1u);
    EXPECT_EQ(Pair(0xEEEF), 0xF7F1u);
    EXPECT_EQ(Pair(0xEEF9), 0xA1FEu);
    EXPECT_EQ(Pair(0x81CA), 0xA1FEu);
    for (unsigned lead = 0xF0; lead <= 0xF9; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            const unsigned code = lead << 8 | trail;
            EXPECT_EQ(Pair(code), code == 0xF282 ? 0xE946u : 0xA1A1u) << std::hex << code;
        }
}

TEST(CChineseConv, RowTablesReplaceComputedCodes) {
    struct Row {
        unsigned qz, gb;
    };
    // QZ pairs whose computed code falls in the five remapped GB rows, first/last cells and
    // cells without a counterpart included.
    const Row rows[] = {
        // GB row A1: Shift-JIS row 1 (lead 0x81, trails 0x40-0x9E)
        {0x8140, 0xA1A1},
        {0x8142, 0xA1A3},
        {0x8143, 0xA3AC},
        {0x814B, 0xA1FE},
        {0x8157, 0xD9DA},
        {0x8181, 0xA3BD},
        {0x819E, 0xA1F3},
        // GB row A2: row 2 (lead 0x81, trails 0x9F-0xFC)
        {0x819F, 0xA1F4},
        {0x81A4, 0xA1FE},
        {0x81BE, 0xA1C8},
        {0x81E6, 0xA1DF},
        {0x81FC, 0xA1F0},
        // GB row A3 keeps full-width digits and letters, nothing else
        {0x8240, 0xA1A1},
        {0x824E, 0xA1A1},
        {0x824F, 0xA3B0},
        {0x8258, 0xA3B9},
        {0x8259, 0xA1A1},
        {0x8260, 0xA3C1},
        {0x8279, 0xA3DA},
        {0x827A, 0xA1A1},
        {0x8281, 0xA3E1},
        {0x829A, 0xA3FA},
        {0x829B, 0xA1A1},
        {0x829E, 0xA1A1},
        // GB row A8: row 8 (lead 0x84, trails 0x9F-0xFC)
        {0x849F, 0xA9A4},
        {0x84BE, 0xA9E6},
        {0x84BF, 0xA1A1},
        {0x84FC, 0xA1A1},
        // GB row AD: row 13 (lead 0x87, trails 0x40-0x9E)
        {0x8740, 0xA2D9},
        {0x874A, 0xCFD4},
        {0x875F, 0xCFDE},
        {0x876F, 0xA1FE},
        {0x877E, 0xCFEE},
        {0x8780, 0xCFEF},
        {0x878A, 0xA1FE},
        {0x8794, 0xF7EF},
        {0x879D, 0xA1A1},
        {0x879E, 0xA1A1},
    };
    for (const Row& r : rows) EXPECT_EQ(Pair(r.qz), r.gb) << std::hex << r.qz;
    // Outside those rows the computed GB code stands; rows 0xF4-0xF7 come five rows up.
    EXPECT_EQ(Pair(0x8340), 0xA5A1u);
    EXPECT_EQ(Pair(0xEA40), 0xF3A1u);
    EXPECT_EQ(Pair(0xED40), 0xF4A1u);
    EXPECT_EQ(Pair(0xEEFC), 0xF7FEu);
}

// Every IBM extended code 0xFA40-0xFC4B must convert like the code page 932 duplicate of the
// same character in lead bytes 0x87, 0xED or 0xEE. iconv's CP932 decoder is the oracle.
TEST(CChineseConv, IbmExtensionsEqualTheirDuplicates) {
    iconv_t cd = iconv_open("UTF-32LE", "CP932");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    auto decode = [&](unsigned code) -> char32_t {
        char in[2] = {static_cast<char>(code >> 8), static_cast<char>(code)};
        char32_t out = 0;
        char* ip = in;
        char* op = reinterpret_cast<char*>(&out);
        std::size_t il = 2, ol = 4;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<std::size_t>(-1)) return 0;
        return out;
    };
    std::map<char32_t, std::vector<unsigned>> duplicates;
    for (unsigned lead : {0x81u, 0x87u, 0xEDu, 0xEEu})
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F)
                if (char32_t c = decode(lead << 8 | trail))
                    duplicates[c].push_back(lead << 8 | trail);

    int compared = 0;
    for (unsigned code = 0xFA40; code <= 0xFC4B; ++code) {
        const unsigned trail = code & 0xFF;
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC) continue;
        const char32_t c = decode(code);
        if (!c) continue;
        for (unsigned dup : duplicates[c]) {
            // Row 1/2 codes also stand for some of these characters (e.g. 81CA for FA54); the
            // table names 0x87/0xED/0xEE, but the results agree with row 1/2 as well.
            EXPECT_EQ(Pair(code), Pair(dup)) << std::hex << code << " vs " << dup;
            ++compared;
        }
    }
    iconv_close(cd);
    EXPECT_GE(compared, 388);  // 388 IBM extensions, each with at least one duplicate
}

TEST(CChineseConv, SingleBytes) {
    struct Row {
        unsigned char qz;
        const char* gbHex;
    };
    const Row rows[] = {{0xA1, "A1A3"}, {0xA2, "A1B8"}, {0xA3, "A1B9"}, {0xA4, "A1A2"},
                        {0xA5, "A1A4"}, {0xA6, "A8A1"}, {0xBE, "A8B9"}, {0xBF, "A8A1"},
                        {0xD7, "A8B9"}, {0xD8, "A8BA"}, {0xD9, "6D"},   {0xDA, "6D"},
                        {0xDB, "6E"},   {0xDD, "6E"},   {0xDE, "A1E5"}, {0xDF, "A1E3"},
                        {0x41, "41"},   {0x80, "80"},   {0xA0, "A0"},   {0xFD, "FD"},
                        {0xFF, "FF"}};
    for (const Row& r : rows) {
        unsigned char dst[2] = {};
        const std::size_t n = conv.QzSingleToGb(dst, &r.qz);
        EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(dst), n)), r.gbHex)
            << std::hex << int(r.qz);
    }
    EXPECT_TRUE(CChineseConv::IsQzLeadByte(0x81));
    EXPECT_TRUE(CChineseConv::IsQzLeadByte(0x9F));
    EXPECT_TRUE(CChineseConv::IsQzLeadByte(0xE0));
    EXPECT_TRUE(CChineseConv::IsQzLeadByte(0xFC));
    EXPECT_FALSE(CChineseConv::IsQzLeadByte(0x80));
    EXPECT_FALSE(CChineseConv::IsQzLeadByte(0xA0));
    EXPECT_FALSE(CChineseConv::IsQzLeadByte(0xDF));
    EXPECT_FALSE(CChineseConv::IsQzLeadByte(0xFD));
}

TEST(CChineseConv, StringLimits) {
    std::size_t n = 99;
    {
        SCOPED_TRACE("count 0 and empty string");
        EXPECT_EQ(Convert("abc", 0, &n), "");
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(Convert("", 10, &n), "");
        EXPECT_EQ(n, 0u);
    }
    {
        SCOPED_TRACE("ASCII passes through");
        const std::string ascii = "Hello, world 123 ~!";
        EXPECT_EQ(Convert(ascii, ascii.size(), &n), ascii);
        EXPECT_EQ(n, ascii.size());
    }
    {
        SCOPED_TRACE("stops at the terminator and at the count");
        EXPECT_EQ(Convert(std::string("ab\0cd", 5), 5), "ab");
        EXPECT_EQ(Convert("abcdef", 3), "abc");
        EXPECT_EQ(Hex(Convert("\x88\x9F\x88\x9F", 2)), "B0A1");
    }
    {
        SCOPED_TRACE("pinyin doubles the length");
        EXPECT_EQ(Hex(Convert("\xA6\xBF\xA6", 3, &n)), "A8A1A8A1A8A1");
        EXPECT_EQ(n, 6u);
    }
    {
        SCOPED_TRACE("a lead byte without its trail is dropped, nothing is read past it");
        EXPECT_EQ(Hex(Convert("a\x88", 2)), "61");
        EXPECT_EQ(Hex(Convert("a\x88", 10)), "61");
        EXPECT_EQ(Hex(Convert("a\x88\x9F", 2)), "61");  // count ends between lead and trail
    }
}

TEST(CChineseConv, OutputNeverExceedsTwiceTheCount) {
    std::mt19937 rng(7);
    for (int round = 0; round < 2000; ++round) {
        std::string src(rng() % 64, '\0');
        for (char& c : src) c = static_cast<char>(1 + rng() % 255);
        const std::size_t count = src.empty() ? 0 : rng() % (src.size() + 4);
        Convert(src, count);
        if (HasFailure()) break;
    }
}

}  // namespace
