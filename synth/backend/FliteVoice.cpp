#include "synth/backend/FliteVoice.h"

#include <flite/flite.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

extern "C" {
cst_voice* register_cmu_us_slt(const char* voxdir);
cst_voice* register_cmu_us_kal16(const char* voxdir);
cst_voice* register_cmu_us_kal(const char* voxdir);
cst_voice* register_cmu_us_awb(const char* voxdir);
cst_voice* register_cmu_us_rms(const char* voxdir);
}

namespace synth {

struct FliteVoice::Stream {
    const PcmOut* out = nullptr;
    const Cancelled* cancelled = nullptr;
    bool stopped = false;
    // Where the words go, the piece of text being said and where it lies in the text speak
    // was given, and the samples handed out before it.
    const WordOut* words = nullptr;
    const std::string* piece = nullptr;
    std::size_t pieceAt = 0;
    std::size_t samplesBefore = 0;
    int rate = 0;
    bool wordsTold = false;
    std::size_t* handedOut = nullptr;
};

namespace {

// The utterance is analysed in full before its first audio streams: each token's place in the
// piece, found in order by its name, and its first word's start in seconds.
void tellWords(FliteVoice::Stream& stream, const cst_utterance* utt) {
    stream.wordsTold = true;
    std::size_t cursor = 0;
    float previous = 0;
    for (const cst_item* t = relation_head(utt_relation(utt, "Token")); t; t = item_next(t)) {
        const char* name = item_feat_string(t, "name");
        const cst_item* word = item_daughter(t);
        if (!name || !*name || !word) continue;
        const std::size_t at = stream.piece->find(name, cursor);
        if (at == std::string::npos) continue;
        cursor = at + std::strlen(name);
        const float start = std::max(
            previous, ffeature_float(word, "R:SylStructure.daughter1.daughter1.R:Segment.p.end"));
        previous = start;
        (*stream.words)(stream.pieceAt + at, stream.pieceAt + cursor,
                        stream.samplesBefore + static_cast<std::size_t>(start * stream.rate));
    }
}

int onChunk(const cst_wave* w, int start, int size, int, cst_audio_streaming_info* asi) {
    auto* stream = static_cast<FliteVoice::Stream*>(asi->userdata);
    if (!stream || !stream->out) return CST_AUDIO_STREAM_CONT;
    if ((*stream->cancelled)()) {
        stream->stopped = true;
        return CST_AUDIO_STREAM_STOP;
    }
    if (stream->words && *stream->words && !stream->wordsTold && asi->utt)
        tellWords(*stream, asi->utt);
    if (size > 0) {
        (*stream->out)(w->samples + start, static_cast<std::size_t>(size));
        *stream->handedOut += static_cast<std::size_t>(size);
    }
    return CST_AUDIO_STREAM_CONT;
}

// flite corrupts its heap on a token of a few hundred punctuation marks, and spends
// seconds on the letter-to-sound rules of a long run of letters; no word is that long.
// A letter or mark repeated more than three times ("xxxxxxxx", "!!!!!!", "------") is said
// three times: spelled out in full, a line of x's would take minutes to say.
std::string withShortTokens(const std::string& utf8) {
    constexpr std::size_t kMaxToken = 32;
    constexpr int kMaxRepeat = 3;
    std::string out;
    out.reserve(utf8.size() + utf8.size() / kMaxToken);
    std::size_t run = 0;
    int repeat = 0;
    unsigned char previous = 0;
    for (unsigned char c : utf8) {
        repeat = c == previous ? repeat + 1 : 1;
        previous = c;
        if (c < 0x80 && !(c >= '0' && c <= '9') && c != ' ' && repeat > kMaxRepeat) continue;
        if (c == ' ' || c == '\t' || c == '\n') {
            run = 0;
        } else if ((c & 0xC0) != 0x80 && ++run > kMaxToken) {
            out += ' ';
            run = 1;
        }
        out += static_cast<char>(c);
    }
    return out;
}

}  // namespace

std::unique_ptr<FliteVoice> FliteVoice::open(const std::string& name) {
    static std::once_flag once;
    std::call_once(once, [] { flite_init(); });
    static const std::map<std::string, cst_voice* (*)(const char*)> kVoices = {
        {"slt", register_cmu_us_slt},
        {"kal16", register_cmu_us_kal16},
        {"kal", register_cmu_us_kal},
        {"awb", register_cmu_us_awb},
        {"rms", register_cmu_us_rms}};
    const auto known = kVoices.find(name);
    cst_voice* voice = known == kVoices.end() ? nullptr : known->second(nullptr);
    if (!voice) return nullptr;
    // A voice is registered once per process and every later call returns the same object,
    // so the engines that use it (English, and Japanese for its Latin runs) share its
    // streaming callback and the pitch it started with; each speak points the stream at its
    // own output.
    struct Shared {
        std::shared_ptr<Stream> stream;
        float f0Mean, f0Stddev;
    };
    static std::map<cst_voice*, Shared> shared;  // worker only
    auto found = shared.find(voice);
    if (found == shared.end()) {
        Shared s{std::make_shared<Stream>(),
                 get_param_float(voice->features, "int_f0_target_mean", 100.0f),
                 get_param_float(voice->features, "int_f0_target_stddev", 10.0f)};
        cst_audio_streaming_info* asi = new_audio_streaming_info();
        asi->asc = onChunk;
        asi->userdata = s.stream.get();
        // The feature owns asi from here on.
        feat_set(voice->features, "streaming_info", audio_streaming_info_val(asi));
        found = shared.emplace(voice, std::move(s)).first;
    }
    std::unique_ptr<FliteVoice> v(new FliteVoice);
    v->m_strName = name;
    v->m_pVoice = voice;
    v->m_stream = found->second.stream;
    v->m_fF0Mean = found->second.f0Mean;
    v->m_fF0Stddev = found->second.f0Stddev;
    v->m_nRate = get_param_int(voice->features, "sample_rate", 16000);
    return v;
}

SpeakResult FliteVoice::speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                              const Cancelled& cancelled) {
    feat_set_float(m_pVoice->features, "duration_stretch", 100.0f / prosody.speed);
    feat_set_float(m_pVoice->features, "int_f0_target_mean", m_fF0Mean * prosody.pitch / 100.0f);
    feat_set_float(m_pVoice->features, "int_f0_target_stddev",
                   m_fF0Stddev * prosody.pitch / 100.0f);
    // flite streams an utterance only once all of it is analysed, so a long sentence is
    // handed over in pieces cut at a space, which bounds the wait for its first audio.
    constexpr std::size_t kMaxPiece = 120;
    const std::string text = withShortTokens(utf8);
    // Words are told in bytes of utf8, so only when the text went to flite as it came.
    const WordOut* words = text == utf8 && m_words ? &m_words : nullptr;
    std::size_t handedOut = 0;
    std::size_t start = 0;
    bool stopped = false;
    while (start < text.size() && !stopped) {
        std::size_t end = text.size();
        if (end - start > kMaxPiece) {
            end = text.find_last_of(" \t\n", start + kMaxPiece);
            if (end == std::string::npos || end <= start) end = start + kMaxPiece;
            while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
                ++end;
        }
        const std::string piece = text.substr(start, end - start);
        *m_stream = Stream{&out, &cancelled, false, words, &piece, start, handedOut, m_nRate, false,
                           &handedOut};
        flite_text_to_speech(piece.c_str(), m_pVoice, "none");
        stopped = m_stream->stopped || cancelled();
        *m_stream = Stream{};
        start = end;
    }
    return stopped ? SpeakResult::Cancelled : SpeakResult::Done;
}

}  // namespace synth
