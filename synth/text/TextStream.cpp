#include "synth/text/TextStream.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "platform/Utf8.h"
#include "synth/text/LineBreaks.h"
#include "synth/text/SentenceSplit.h"

namespace synth {
namespace {

// Decoded a character at a time, so no more than a few sentences at once.
constexpr std::size_t kRawChunk = 2 * 1024;
constexpr std::size_t kMaxCharBytes = 4;  // of any encoding the engines read

}  // namespace

TextStream::TextStream(std::shared_ptr<const std::string> text, const std::string& encoding)
    : m_text(std::move(text)), m_cd(iconv_open("UTF-8", encoding.c_str())) {
    // In the engines' encodings a byte below 0x80 that starts a character is that ASCII
    // character, so it needs no iconv call; encodings with shift states are not among them.
    std::string upper;
    for (char c : encoding) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char* known : {"UTF-8", "CP932", "CP936", "CP949", "CP1252"})
        m_bAsciiAsIs = m_bAsciiAsIs || upper == known;
}

TextStream::~TextStream() {
    if (ok()) iconv_close(m_cd);
}

void TextStream::seek(std::size_t rawOffset) {
    m_nRawPos = m_text ? std::min(rawOffset, m_text->size()) : 0;
    m_bLineStart =
        m_nRawPos == 0 || (*m_text)[m_nRawPos - 1] == '\n' || (*m_text)[m_nRawPos - 1] == '\r';
    m_buf.clear();
    m_rawOf.clear();
    m_nBufPos = 0;
    if (ok()) iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
}

// One character at a time, so every decoded byte knows the original byte it came from.
bool TextStream::decodeMore() {
    if (!ok() || !m_text || m_nRawPos >= m_text->size()) return false;
    if (m_nBufPos > 0) {
        m_buf.erase(0, m_nBufPos);
        m_rawOf.erase(m_rawOf.begin(), m_rawOf.begin() + static_cast<std::ptrdiff_t>(m_nBufPos));
        m_nBufPos = 0;
    }
    const std::size_t size = m_text->size();
    const std::size_t end = std::min(size, m_nRawPos + kRawChunk);
    while (m_nRawPos < end) {
        const auto byte = static_cast<unsigned char>((*m_text)[m_nRawPos]);
        if (m_bAsciiAsIs && byte < 0x80) {
            m_buf += static_cast<char>(byte);
            m_rawOf.push_back(m_nRawPos++);
            continue;
        }
        char out[16];
        char* o = out;
        std::size_t taken = 1;
        for (std::size_t want = 1;; ++want) {
            char* in = const_cast<char*>(m_text->data()) + m_nRawPos;
            std::size_t inLeft = std::min(want, size - m_nRawPos);
            std::size_t outLeft = sizeof out;
            o = out;
            const std::size_t r = iconv(m_cd, &in, &inLeft, &o, &outLeft);
            if (r != static_cast<std::size_t>(-1) || o > out) {
                taken = static_cast<std::size_t>(in - m_text->data()) - m_nRawPos;
                break;
            }
            if (errno == EINVAL && want < kMaxCharBytes && m_nRawPos + want < size) continue;
            // An undefined or truncated byte sequence: skip one byte and go on.
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
            o = out;
            break;
        }
        m_buf.append(out, static_cast<std::size_t>(o - out));
        m_rawOf.insert(m_rawOf.end(), static_cast<std::size_t>(o - out), m_nRawPos);
        m_nRawPos += std::max<std::size_t>(taken, 1);
    }
    return true;
}

double TextStream::fractionDone() const {
    if (!m_text || m_text->empty()) return 1;
    return std::min(1.0,
                    static_cast<double>(rawAt(m_nBufPos)) / static_cast<double>(m_text->size()));
}

std::size_t TextStream::rawAt(std::size_t bufPos) const {
    return bufPos < m_rawOf.size() ? m_rawOf[bufPos] : m_nRawPos;
}

bool TextStream::next(std::string& sentence) {
    while (true) {
        const bool complete = !m_text || m_nRawPos >= m_text->size();
        if (complete && m_nBufPos >= m_buf.size()) return false;
        const std::size_t end = sentenceEnd(m_buf, m_nBufPos, complete, m_bLineStart);
        if (end == std::string::npos) {
            decodeMore();
            continue;
        }
        const std::string_view raw = std::string_view(m_buf).substr(m_nBufPos, end - m_nBufPos);
        std::string piece = cleanForSpeech(joinLines(raw, m_bLineStart));
        const std::size_t start = m_nBufPos;
        m_nBufPos = end;
        m_bLineStart = !raw.empty() && (raw.back() == '\n' || raw.back() == '\r');
        const std::size_t first = piece.find_first_not_of(' ');
        if (first != std::string::npos) {
            // The range reported for the sentence covers its bytes in the original text, its
            // list or quotation marks too.
            const std::size_t rawFirst = raw.find_first_not_of(" \t\r\n");
            m_nSentenceStart = rawAt(start + (rawFirst == std::string::npos ? 0 : rawFirst));
            m_nSentenceEnd = rawAt(end);
            sentence = piece.substr(first);
            return true;
        }
    }
}

std::string cleanForSpeech(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        std::size_t len;
        const uint32_t cp = utf8::DecodeAt(s, i, &len);
        const bool unspeakable = cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp < 0xA0) ||
                                 (cp >= 0xE000 && cp <= 0xF8FF) || cp == 0xFFFD ||
                                 (cp >= 0xFFF0 && cp <= 0xFFFF) || cp >= 0xF0000;
        if (unspeakable)
            out += ' ';
        else
            out.append(s, i, len);
        i += len;
    }
    return out;
}

}  // namespace synth
