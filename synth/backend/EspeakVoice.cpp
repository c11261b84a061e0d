#include "synth/backend/EspeakVoice.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>
#include <vector>

#include "synth/text/EspeakSafeText.h"

namespace synth {
namespace {

struct Utterance {
    const PcmOut* out;
    const Cancelled* cancelled;
    const WordOut* words;
    const std::string* text;
    std::vector<std::size_t> charStarts;  // byte offset of each character of *text
    std::size_t handedOut = 0;            // samples
    int rate = 0;
    bool stopped = false;
};

int onSynth(short* wav, int count, espeak_EVENT* events) {
    auto* u = events ? static_cast<Utterance*>(events->user_data) : nullptr;
    if (!u) return 0;
    // Returning 1 aborts the synthesis within half a millisecond.
    if ((*u->cancelled)()) {
        u->stopped = true;
        return 1;
    }
    // Word events count characters from 1 and give the word's start in milliseconds of audio.
    for (espeak_EVENT* e = events; *u->words && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type != espeakEVENT_WORD || e->text_position < 1) continue;
        const auto first = static_cast<std::size_t>(e->text_position - 1);
        const std::size_t last = first + static_cast<std::size_t>(std::max(e->length, 1));
        if (first >= u->charStarts.size()) continue;
        const std::size_t end = last < u->charStarts.size() ? u->charStarts[last] : u->text->size();
        const auto at = static_cast<std::size_t>(std::max(e->audio_position, 0)) *
                        static_cast<std::size_t>(u->rate) / 1000;
        (*u->words)(u->charStarts[first], end, std::max(at, u->handedOut));
    }
    if (wav && count > 0) {
        (*u->out)(wav, static_cast<std::size_t>(count));
        u->handedOut += static_cast<std::size_t>(count);
    }
    return 0;
}

// The voice set last is still set; loading a voice reloads its dictionary (6 ms for
// Mandarin), which would delay every sentence.
std::string g_strCurrentVoice;  // worker only

bool selectVoice(const std::string& voice) {
    if (voice == g_strCurrentVoice) return true;
    g_strCurrentVoice.clear();
    if (espeak_SetVoiceByName(voice.c_str()) != EE_OK) return false;
    g_strCurrentVoice = voice;
    return true;
}

}  // namespace

int startEspeak() {
    const int rate =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate > 0) espeak_SetSynthCallback(onSynth);
    return rate;
}

void stopEspeak() {
    espeak_Terminate();
}

bool EspeakVoice::select() {
    return selectVoice(m_strVoice);
}

SpeakResult EspeakVoice::speak(const std::string& utf8, const Prosody& prosody, const PcmOut& out,
                               const Cancelled& cancelled) {
    if (!selectVoice(m_strVoice)) return SpeakResult::Failed;
    // The rate is in words per minute (175 normal); above 450 it speeds up with its time
    // stretcher. Pitch 0 to 100 with 50 normal.
    espeak_SetParameter(espeakRATE, std::clamp(175 * prosody.speed / 100, 80, 900), 0);
    espeak_SetParameter(espeakPITCH, std::clamp(50 * prosody.pitch / 100, 0, 100), 0);
    espeak_SetParameter(espeakVOLUME, 100, 0);
    Utterance u{&out, &cancelled, &m_words, &utf8, {}, 0, m_nRate};
    if (m_words)
        for (std::size_t i = 0; i < utf8.size(); ++i)
            if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) u.charStarts.push_back(i);
    // Word positions count characters of `safe`, which has as many as utf8.
    const std::string safe = espeakSafeText(utf8);
    // espeak-ng leaves out the pause of the text's last punctuation unless asked, which ran
    // one sentence into the next; a segment cut off mid-clause (before a Latin run) gets none.
    const unsigned flags = espeakCHARS_UTF8 | (endsAtPause(safe) ? espeakENDPAUSE : 0);
    espeak_Synth(safe.c_str(), safe.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, &u);
    return u.stopped ? SpeakResult::Cancelled : SpeakResult::Done;
}

}  // namespace synth

// espeak-ng 1.51 makes its audio device in espeak_ng_InitializeOutput whatever the output
// mode, and making it opens a test connection to the sound server, which waits as long as a
// hung server does. We only ever use its synchronous output, so it gets no device: this
// definition comes before the audio library's in the lookup order of every program that
// loads us (the core is loaded before the libraries it needs).
extern "C" __attribute__((visibility("default"))) struct audio_object* create_audio_device_object(
    const char*, const char*, const char*) {
    return nullptr;
}
