#include "synth/pipeline/SentenceSource.h"

#include "synth/text/RubyNotation.h"

namespace synth {

SentenceSource::SentenceSource(std::shared_ptr<const std::string> text, std::string encoding,
                               int language, std::size_t startOffset)
    : m_text(std::move(text)),
      m_strEncoding(std::move(encoding)),
      m_nStart(startOffset),
      m_nRunLanguage(language) {}

SentenceSource::SentenceSource(std::shared_ptr<const std::string> text, MixedText& mixed,
                               std::size_t startOffset)
    : m_text(std::move(text)), m_mixed(&mixed), m_nStart(startOffset) {}

bool SentenceSource::next(Sentence& out) {
    if (m_ahead) {
        out = std::move(*m_ahead);
        m_ahead.reset();
        return true;
    }
    return take(out);
}

Sentence* SentenceSource::ahead() {
    if (!m_ahead) {
        Sentence next;
        if (!take(next)) return nullptr;
        m_ahead = std::move(next);
    }
    return &*m_ahead;
}

bool SentenceSource::take(Sentence& out) {
    while (!m_stream || !m_stream->ok() || !m_stream->next(out.text)) {
        if (!nextRun()) return false;
    }
    out.said.clear();
    if (mayHoldRuby(out.text)) {
        std::string shown = rubyShown(out.text);
        if (shown != out.text) {
            out.said = rubySaid(out.text);
            out.text = std::move(shown);
        }
    }
    out.start = m_nRunBase + m_stream->rawStart();
    out.end = m_nRunBase + m_stream->rawEnd();
    out.fraction = m_stream->fractionDone();
    out.language = m_nRunLanguage;
    out.voicing.reset();
    return true;
}

// A start offset (a jump) skips the runs before it and starts inside the one that holds it.
bool SentenceSource::nextRun() {
    const bool first = !m_bOpened;
    m_bOpened = true;
    if (!m_mixed) {
        if (!first) return false;
        m_stream = std::make_unique<TextStream>(m_text, m_strEncoding);
        if (m_nStart > 0) m_stream->seek(m_nStart);
        return true;
    }
    auto run = std::make_shared<std::string>();
    bool any = m_mixed->next(m_text, *run, m_nRunLanguage, &m_nRunBase);
    while (any && m_nRunBase + run->size() <= m_nStart)
        any = m_mixed->next(m_text, *run, m_nRunLanguage, &m_nRunBase);
    if (!any) return false;
    const std::size_t into = m_nStart > m_nRunBase ? m_nStart - m_nRunBase : 0;
    m_stream = std::make_unique<TextStream>(std::move(run), "UTF-8");
    if (into > 0) m_stream->seek(into);
    return true;
}

}  // namespace synth
