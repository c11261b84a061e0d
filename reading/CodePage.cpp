#include "reading/CodePage.h"

#include <iconv.h>

#include <bit>
#include <cerrno>
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

class Converter {
  public:
    explicit Converter(int codePage) {
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

    // Converts text into sink(bytes, length) calls; with a bounded sink, stops when it refuses.
    // Returns the number of bytes accepted.
    template <typename Sink>
    std::size_t Run(std::u16string_view text, Sink&& sink) {
        if (const auto zero = text.find(u'\0'); zero != std::u16string_view::npos)
            text = text.substr(0, zero);
        char chunk[4096];
        char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
        std::size_t inLeft = text.size() * sizeof(char16_t);
        std::size_t total = 0;
        while (inLeft > 0) {
            char* outPtr = chunk;
            std::size_t outLeft = sizeof chunk;
            const std::size_t r = iconv(m_cd, &in, &inLeft, &outPtr, &outLeft);
            const int err = r == static_cast<std::size_t>(-1) ? errno : 0;
            const std::size_t produced = sizeof chunk - outLeft;
            if (produced > 0) {
                const std::size_t took = sink(chunk, produced);
                total += took;
                if (took < produced) return total;
            }
            if (err == E2BIG) continue;
            if (err == EILSEQ || err == EINVAL) {
                // Unconvertible character, lone surrogate, or a high surrogate at the very end.
                const std::size_t skip = SurrogatePairAt(in, inLeft) ? 4 : 2;
                in += skip;
                inLeft -= skip;
                if (sink("?", 1) == 0) return total;
                total += 1;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            if (err != 0) return total;
        }
        return total;
    }

  private:
    static bool SurrogatePairAt(const char* p, std::size_t left) {
        if (left < 4) return false;
        char16_t hi, lo;
        std::memcpy(&hi, p, 2);
        std::memcpy(&lo, p + 2, 2);
        return hi >= 0xD800 && hi <= 0xDBFF && lo >= 0xDC00 && lo <= 0xDFFF;
    }

    iconv_t m_cd = reinterpret_cast<iconv_t>(-1);
};

}  // namespace

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
