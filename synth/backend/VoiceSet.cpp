#include "synth/backend/VoiceSet.h"

#include <algorithm>

#include "engine/Diagnostics.h"

namespace synth {
namespace {

// The first failure costs one segment; from the second on the voice rests 1 s, 2 s, 4 s ... up
// to a minute, so a voice that keeps failing is not waited for at every clause.
VoiceSet::Clock::duration restAfter(int failures) {
    if (failures < 2) return {};
    return std::chrono::seconds(1 << std::min(failures - 2, 6));
}

}  // namespace

VoiceBackend* VoiceSet::natural(bool latin, Clock::time_point now) {
    if (!latin && awake(kAdded, now)) return m_added.get();
    return builtIn(latin, now);
}

VoiceBackend* VoiceSet::builtIn(bool latin, Clock::time_point now) {
    const int slot = latin ? kLatin : kMain;
    return awake(slot, now) ? voiceIn(slot).get() : nullptr;
}

void VoiceSet::setAdded(std::unique_ptr<VoiceBackend> voice) {
    m_added = std::move(voice);
    m_health[kAdded] = {};
}

VoiceBackend& VoiceSet::fallback(bool latin) {
    return latin && m_voices.fallbackLatin ? *m_voices.fallbackLatin : *m_voices.fallback;
}

void VoiceSet::failed(const VoiceBackend& voice, Clock::time_point now) {
    const int slot = slotOf(voice);
    if (slot < 0) return;
    Health& h = m_health[slot];
    if (h.failures > 0 && now - h.lastFailure >= kQuietForgives) h.failures = 0;
    ++h.failures;
    h.lastFailure = now;
    h.restUntil = now + restAfter(h.failures);
    h.rested = h.rested || h.failures >= 2;
    const char* standIn = slot == kAdded && m_voices.natural ? "the built-in voice" : "espeak-ng";
    diag::Say(diag::Level::Detail, "%s failed; %s speaks for it %s", voice.describe().c_str(),
              standIn, h.failures < 2 ? "this time" : "for a while");
}

void VoiceSet::succeeded(const VoiceBackend& voice) {
    const int slot = slotOf(voice);
    if (slot < 0 || !m_health[slot].rested) return;
    m_health[slot].rested = false;
    diag::Say(diag::Level::Detail, "%s speaks again", voice.describe().c_str());
}

bool VoiceSet::readsWrittenText(Clock::time_point now) {
    VoiceBackend* voice = natural(false, now);
    return voice && voice->readsWrittenText();
}

std::string VoiceSet::describe(bool* configured, bool naturalConfigured) {
    if (VoiceBackend* voice = natural(false)) {
        *configured = true;
        return voice->describe();
    }
    *configured = !naturalConfigured;
    return m_voices.fallback->describe();
}

void VoiceSet::rest() {
    for (auto* voice : {m_voices.natural.get(), m_voices.naturalLatin.get(), m_added.get()})
        if (voice) voice->rest();
}

}  // namespace synth
