#pragma once
// QZ to GB conversion for the Chinese engine. Text kept in the QZ character code reaches us as
// Shift-JIS-shaped bytes (the clipboard text converted to code page 932); the Chinese engine
// reads GB2312/GBK in EUC form. Stateless: all it needs are constant tables.

#include <cstddef>

class CChineseConv {
  public:
    // Converts at most count bytes of the zero-terminated QZ string src into dst and returns the
    // number of GB bytes written, not counting the terminator, which is always written.
    // dst must hold 2 * count + 1 bytes. A lead byte whose trail byte is missing (the string or
    // the count ends first) is a truncated character: it is dropped and the conversion ends.
    std::size_t ConvertQzToGb(unsigned char* dst, const unsigned char* src,
                              std::size_t count) const;

    // One two-byte character (src[0] lead, src[1] trail); always writes two bytes.
    void QzPairToGb(unsigned char* dst, const unsigned char* src) const;
    // One one-byte character; writes one or two bytes and returns how many.
    std::size_t QzSingleToGb(unsigned char* dst, const unsigned char* src) const;

    static bool IsQzLeadByte(unsigned char b) {
        return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    }
};
