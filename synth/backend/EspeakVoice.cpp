#include "synth/backend/EspeakVoice.h"

#include <espeak-ng/speak_lib.h>

#include <algorithm>

namespace synth {
namespace {

struct Utterance {
    const PcmOut* out;
    const Cancelled* cancelled;
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
    if (wav && count > 0) (*u->out)(wav, static_cast<std::size_t>(count));
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
    Utterance u{&out, &cancelled};
    espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8, nullptr, &u);
    return u.stopped ? SpeakResult::Cancelled : SpeakResult::Done;
}

}  // namespace synth
