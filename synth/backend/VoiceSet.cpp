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
    VoiceBackend* voice = naturalOf(latin).get();
    return voice && now >= m_health[latin].restUntil ? voice : nullptr;
}

VoiceBackend& VoiceSet::fallback(bool latin) {
    return latin && m_voices.fallbackLatin ? *m_voices.fallbackLatin : *m_voices.fallback;
}

void VoiceSet::failed(bool latin, Clock::time_point now) {
    Health& h = m_health[latin];
    if (h.failures > 0 && now - h.lastFailure >= kQuietForgives) h.failures = 0;
    ++h.failures;
    h.lastFailure = now;
    h.restUntil = now + restAfter(h.failures);
    h.rested = h.rested || h.failures >= 2;
    if (VoiceBackend* voice = naturalOf(latin).get())
        diag::Say(diag::Level::Detail, "%s failed; espeak-ng speaks for it %s",
                  voice->describe().c_str(), h.failures < 2 ? "this time" : "for a while");
}

void VoiceSet::succeeded(bool latin) {
    Health& h = m_health[latin];
    if (!h.rested) return;
    h.rested = false;
    if (VoiceBackend* voice = naturalOf(latin).get())
        diag::Say(diag::Level::Detail, "%s speaks again", voice->describe().c_str());
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
    for (auto* voice : {m_voices.natural.get(), m_voices.naturalLatin.get()})
        if (voice) voice->rest();
}

}  // namespace synth
