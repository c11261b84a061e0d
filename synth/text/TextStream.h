#pragma once
// Turns a text in a byte encoding into UTF-8 sentences, a piece at a time, so a long text is
// never decoded or held as a whole.

#include <iconv.h>

#include <cstddef>
#include <memory>
#include <string>

namespace synth {

class TextStream {
  public:
    // Sentences longer than this are cut at a space or comma, else at any character.
    static constexpr std::size_t kMaxSentenceBytes = 480;

    // `encoding` is an iconv name; fails (ok() is false) when iconv does not know it.
    TextStream(std::shared_ptr<const std::string> text, const std::string& encoding);
    ~TextStream();
    TextStream(const TextStream&) = delete;
    TextStream& operator=(const TextStream&) = delete;

    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The next sentence with control characters turned into spaces, never blank. Bytes the
    // encoding does not define are skipped. False at the end of the text.
    bool next(std::string& sentence);

    // How much of the text the sentences returned so far cover, from 0 to 1 (an estimate
    // within the piece being decoded).
    double fractionDone() const;

  private:
    bool decodeMore();
    std::size_t findEnd() const;

    std::shared_ptr<const std::string> m_text;
    std::size_t m_nRawPos = 0;
    iconv_t m_cd;
    std::string m_buf;  // decoded, not yet returned, from m_nBufPos on
    std::size_t m_nBufPos = 0;
    double m_dDecodedPerRaw = 1;  // of the latest piece
};

// Replaces C0/C1 controls (except line breaks and tabs, which become spaces), private-use
// and non-characters by spaces; they are unspeakable and some confuse the synthesiser.
std::string cleanForSpeech(const std::string& utf8);

}  // namespace synth
