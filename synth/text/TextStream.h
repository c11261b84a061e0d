#pragma once
// Turns a text in a byte encoding into UTF-8 sentences (synth/text/SentenceSplit.h), a piece
// at a time, so a long text is never decoded or held as a whole. Each sentence keeps its place
// in the original bytes, so a position can be reported and reading resumed from it.

#include <iconv.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace synth {

class TextStream {
  public:
    // `encoding` is an iconv name; fails (ok() is false) when iconv does not know it.
    TextStream(std::shared_ptr<const std::string> text, const std::string& encoding);
    ~TextStream();
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The next sentence with control characters turned into spaces, never blank. Bytes the
    // encoding does not define are skipped. False at the end of the text.
    bool next(std::string& sentence);
    // The bytes of the original text the latest sentence came from: [rawStart, rawEnd).
    std::size_t rawStart() const { return m_nSentenceStart; }
    std::size_t rawEnd() const { return m_nSentenceEnd; }
    // Goes on from this byte of the original text, which should start a character (a
    // sentence's rawStart or rawEnd); past the end, next() has nothing more.
    void seek(std::size_t rawOffset);

    // How much of the text the sentences returned so far cover, from 0 to 1 (an estimate
    // within the piece being decoded).
    double fractionDone() const;

  private:
    bool decodeMore();
    std::size_t rawAt(std::size_t bufPos) const;

    std::shared_ptr<const std::string> m_text;
    std::size_t m_nRawPos = 0;
    iconv_t m_cd;
    std::string m_buf;  // decoded, not yet returned, from m_nBufPos on
    std::size_t m_nBufPos = 0;
    // For each byte of m_buf, the offset in the original text of the character it belongs to.
    std::vector<std::size_t> m_rawOf;
    std::size_t m_nSentenceStart = 0, m_nSentenceEnd = 0;
    bool m_bAsciiAsIs = false;
    bool m_bLineStart = true;  // m_buf[m_nBufPos] starts a line
};

// Replaces C0/C1 controls (except line breaks and tabs, which become spaces), private-use
// and non-characters by spaces; they are unspeakable and some confuse the synthesiser.
std::string cleanForSpeech(const std::string& utf8);

}  // namespace synth
