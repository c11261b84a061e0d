#include "reading/CodePage.h"

#include <iconv.h>

#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>

namespace reading {
namespace {

const char* IconvName(int codePage) {
    switch (codePage) {
        case 932:
            return "CP932";
        case 1252:
            return "CP1252";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        default:
            return nullptr;
    }
}

bool IsLeadByte(int codePage, unsigned char b) {
    switch (codePage) {
        case 932:
            return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        case 936:
        case 949:
            return b >= 0x81 && b <= 0xFE;
        default:
            return false;
    }
}

// The longest prefix of bytes[0..limit) that ends between two characters; bytes starts at one.
std::size_t CharacterBoundary(int codePage, const char* bytes, std::size_t limit) {
    std::size_t i = 0;
    while (i < limit) {
        const std::size_t width =
            IsLeadByte(codePage, static_cast<unsigned char>(bytes[i])) ? 2 : 1;
        if (i + width > limit) break;
        i += width;
    }
    return i;
}

int TableIndex(int codePage) {
    switch (codePage) {
        case 932:
            return 0;
        case 1252:
            return 1;
        case 936:
            return 2;
        default:
            return 3;
    }
}

// What each BMP character becomes, per code page, learnt from iconv the first time it is met.
// These code pages are stateless, so a character converts alone as it does within a text;
// asking iconv once per character instead of converting whole texts through it avoids the
// error and reset it pays for each character the code page lacks (seconds for a megabyte of
// Korean). Entries are 0 until learnt, then kKnown | length << 24 | bytes, where length 0
// stands for the default character. Any thread; two threads learning one character store the
// same value.
constexpr std::uint32_t kKnown = 0x80000000u;
std::atomic<std::uint32_t> g_table[4][0x10000];

class Converter {
  public:
    explicit Converter(int codePage) : m_table(g_table[TableIndex(codePage)]) {
        if (const char* name = IconvName(codePage))
            m_cd = iconv_open(name,
                              std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE");
    }
    ~Converter() {
        if (Ok()) iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts text into sink(bytes, length) calls, each ending between two characters; with a
    // bounded sink, stops when it refuses. Returns the number of bytes accepted.
    template <typename Sink>
    std::size_t Run(std::u16string_view text, Sink&& sink) {
        text = ConvertedPart(text);
        char chunk[4096];
        std::size_t used = 0, total = 0;
        const auto flush = [&] {
            const std::size_t took = used ? sink(chunk, used) : 0;
            total += took;
            const bool all = took == used;
            used = 0;
            return all;
        };
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (sizeof chunk - used < kMaxBytes && !flush()) return total;
            const char16_t c = text[i];
            if (c >= 0xD800 && c <= 0xDFFF) {
                // A pair names a character outside the table; a lone half is malformed.
                const bool pair = c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                                  text[i + 1] <= 0xDFFF;
                used += pair ? Ask(&text[i], 2, chunk + used) : Default(chunk + used);
                i += pair ? 1 : 0;
                continue;
            }
            std::uint32_t entry = m_table[c].load(std::memory_order_relaxed);
            if (entry == 0) {
                entry = Learn(c);
                m_table[c].store(entry, std::memory_order_relaxed);
            }
            const std::size_t n = (entry >> 24) & 0x3;
            if (n == 0) {
                used += Default(chunk + used);
            } else {
                for (std::size_t k = 0; k < n; ++k)
                    chunk[used++] = static_cast<char>(entry >> (8 * (n - 1 - k)));
            }
        }
        flush();
        return total;
    }

  private:
    // The most bytes one character takes here: these code pages use two at most; a third is
    // room to spare.
    static constexpr std::size_t kMaxBytes = 3;

    static std::size_t Default(char* out) {
        *out = '?';
        return 1;
    }

    // iconv's conversion of one character (units of UTF-16) into out[0..kMaxBytes); the
    // default character when it has none or it would not fit.
    std::size_t Ask(const char16_t* units, std::size_t count, char* out) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* in = const_cast<char*>(reinterpret_cast<const char*>(units));
        std::size_t inLeft = count * sizeof(char16_t);
        char* outPtr = out;
        std::size_t outLeft = kMaxBytes;
        const std::size_t r = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
        const std::size_t produced = kMaxBytes - outLeft;
        if (r == static_cast<std::size_t>(-1) || inLeft != 0 || produced == 0) return Default(out);
        return produced;
    }

    // The table entry for a BMP character.
    std::uint32_t Learn(char16_t c) {
        char bytes[kMaxBytes];
        const std::size_t n = Ask(&c, 1, bytes);
        if (n == 1 && bytes[0] == '?') return kKnown;
        std::uint32_t entry = kKnown | static_cast<std::uint32_t>(n) << 24;
        for (std::size_t k = 0; k < n; ++k)
            entry |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k]))
                     << (8 * (n - 1 - k));
        return entry;
    }

    iconv_t m_cd = reinterpret_cast<iconv_t>(-1);
    std::atomic<std::uint32_t>* m_table;
};

}  // namespace

std::u16string_view ConvertedPart(std::u16string_view text) {
    return text.substr(0, text.find(u'\0'));
}

std::size_t WideToCodePage(int codePage, std::u16string_view text, char* out,
                           std::size_t capacity) {
    if (capacity == 0) return 0;
    std::size_t used = 0;
    Converter conv(codePage);
    if (conv.Ok()) {
        // Keep what fits of each converted chunk, never half of a double-byte character;
        // the first refusal ends the conversion.
        auto sink = [&](const char* bytes, std::size_t length) -> std::size_t {
            const std::size_t room = capacity - 1 - used;
            std::size_t take = length <= room ? length : room;
            if (take < length) take = CharacterBoundary(codePage, bytes, take);
            std::memcpy(out + used, bytes, take);
            used += take;
            return take;
        };
        conv.Run(text, sink);
    }
    out[used] = 0;
    return used;
}

std::size_t CodePageLength(int codePage, std::u16string_view text) {
    Converter conv(codePage);
    if (!conv.Ok()) return 0;
    return conv.Run(text, [](const char*, std::size_t length) { return length; });
}

}  // namespace reading
