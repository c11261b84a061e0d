#include "synth/text/TextStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Utf8.h"

namespace synth {
namespace {

constexpr std::size_t kRawChunk = 16 * 1024;

bool isSpace(uint32_t cp) {
    return cp == ' ' || cp == '\t' || cp == 0x3000;
}

}  // namespace

TextStream::TextStream(std::shared_ptr<const std::string> text, const std::string& encoding)
    : m_text(std::move(text)), m_cd(iconv_open("UTF-8", encoding.c_str())) {}

TextStream::~TextStream() {
    if (ok()) iconv_close(m_cd);
}

bool TextStream::decodeMore() {
    if (!ok() || !m_text || m_nRawPos >= m_text->size()) return false;
    if (m_nBufPos > 0) {
        m_buf.erase(0, m_nBufPos);
        m_nBufPos = 0;
    }
    const std::size_t decodedBefore = m_buf.size();
    const std::size_t end = std::min(m_text->size(), m_nRawPos + kRawChunk);
    const bool last = end == m_text->size();
    char* in = const_cast<char*>(m_text->data()) + m_nRawPos;
    std::size_t inLeft = end - m_nRawPos;
    char out[kRawChunk * 2];
    while (inLeft > 0) {
        char* o = out;
        std::size_t outLeft = sizeof out;
        const std::size_t r = iconv(m_cd, &in, &inLeft, &o, &outLeft);
        m_buf.append(out, static_cast<std::size_t>(o - out));
        if (r != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;
        if (errno == EINVAL && !last) break;  // a character split by the chunk end
        // An undefined or truncated byte sequence: skip one byte and go on.
        ++in, --inLeft;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    }
    const std::size_t start = m_nRawPos;
    m_nRawPos = static_cast<std::size_t>(in - m_text->data());
    if (m_nRawPos >= end && end < m_text->size()) m_nRawPos = end;
    if (m_nRawPos > start)
        m_dDecodedPerRaw = std::max(1e-3, static_cast<double>(m_buf.size() - decodedBefore) /
                                              static_cast<double>(m_nRawPos - start));
    return true;
}

double TextStream::fractionDone() const {
    if (!m_text || m_text->empty()) return 1;
    const double pending = static_cast<double>(m_buf.size() - m_nBufPos) / m_dDecodedPerRaw;
    const double done = std::max(0.0, static_cast<double>(m_nRawPos) - pending);
    return std::min(1.0, done / static_cast<double>(m_text->size()));
}

std::size_t TextStream::findEnd() const {
    std::size_t lastSoftBreak = 0;
    std::size_t i = m_nBufPos;
    while (i < m_buf.size()) {
        std::size_t len;
        const uint32_t cp = utf8::DecodeAt(m_buf, i, &len);
        const std::size_t after = i + len;
        if (after - m_nBufPos > kMaxSentenceBytes) return lastSoftBreak ? lastSoftBreak : i;
        switch (cp) {
            case '\n':
            case 0x3002:
            case 0xFF01:
            case 0xFF1F:
            case 0xFF0E:
            case 0xFF61:
                return after;
            case '.':
            case '!':
            case '?':
            case ';':
            case ':':
                // A full stop ends a sentence only before a space, so 3.14 and e.g. stay.
                if (after < m_buf.size()) {
                    std::size_t nextLen;
                    if (isSpace(utf8::DecodeAt(m_buf, after, &nextLen))) return after;
                }
                break;
            case ' ':
            case ',':
            case 0x3001:
            case 0xFF0C:
                lastSoftBreak = after;
                break;
            default:
                break;
        }
        i = after;
    }
    return std::string::npos;
}

bool TextStream::next(std::string& sentence) {
    while (true) {
        std::size_t end = findEnd();
        if (end == std::string::npos) {
            if (decodeMore()) continue;
            if (m_nBufPos >= m_buf.size()) return false;
            end = m_buf.size();
        }
        std::string piece = cleanForSpeech(m_buf.substr(m_nBufPos, end - m_nBufPos));
        m_nBufPos = end;
        if (piece.find_first_not_of(' ') != std::string::npos) {
            sentence = std::move(piece);
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
