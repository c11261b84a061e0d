// What a sound-server sink keeps and reports, without a sound server: the sentence queue
// that lets a paused reading survive the server going away, and the playback clock.

#include <gtest/gtest.h>

#include <vector>

#include "synth/audio/PlaybackClock.h"
#include "synth/audio/SentenceQueue.h"

namespace {

int16_t firstUnsent(const synth::SentenceQueue& q) {
    return *reinterpret_cast<const int16_t*>(q.unsent());
}

TEST(SentenceQueue, ALostStreamSendsAgainFromTheStartOfTheSentenceBeingHeard) {
    // Three sentences of 80,000 bytes, each sample its sentence's number. The server may
    // hold 200 bytes unplayed: what is heard lags what was sent by up to 400.
    constexpr std::size_t kSentence = 80000;
    synth::SentenceQueue q(200);
    for (int16_t n : {1, 2, 3}) {
        const std::vector<int16_t> samples(kSentence / 2, n);
        q.mark();
        q.append(samples.data(), samples.size());
    }

    q.sent(kSentence + 300);
    q.compact();
    EXPECT_EQ(q.rewind(), kSentence + 300) << "the second's start may not be heard yet";
    EXPECT_EQ(firstUnsent(q), 1);
    EXPECT_EQ(q.rewind(), 0u) << "a second loss before anything is sent stays there";

    q.sent(2 * kSentence + 1000);
    q.compact();  // lets go of the first two sentences
    EXPECT_EQ(q.rewind(), 1000u) << "the sentences before are heard whole";
    EXPECT_EQ(firstUnsent(q), 3);
    EXPECT_EQ(q.unsentBytes(), kSentence);

    synth::SentenceQueue unmarked(200);
    const std::vector<int16_t> samples(250, 1);
    unmarked.append(samples.data(), samples.size());
    unmarked.sent(100);
    EXPECT_EQ(unmarked.rewind(), 0u) << "without sentences nothing sent is kept";
    EXPECT_EQ(unmarked.unsentBytes(), 400u);
}

TEST(PlaybackClock, CountsHeardSamplesFromTheLatencyAndPlaysOutOnce) {
    constexpr int64_t kMs = 1000000;   // nanoseconds
    synth::PlaybackClock clock(1000);  // a sample a millisecond
    clock.reset();
    EXPECT_EQ(clock.heard(true, 0, 0), 0);
    clock.sent(500);
    clock.measured(300, 1000 * kMs);  // 200 heard at 1 s
    EXPECT_EQ(clock.heard(true, 100, 1100 * kMs), 300) << "carried forward while it plays";
    EXPECT_EQ(clock.heard(false, 100, 1100 * kMs), 200) << "held while paused";
    EXPECT_EQ(clock.heard(true, 100, 9000 * kMs), 500) << "never past what was sent";

    clock.end();
    EXPECT_EQ(clock.heard(true, 100, 9000 * kMs), 500) << "queued audio is still to come";
    clock.sent(100);
    EXPECT_EQ(clock.heard(true, 0, 9000 * kMs), -1) << "all of it heard";
    clock.measured(50, 9000 * kMs);
    EXPECT_EQ(clock.heard(true, 0, 9000 * kMs), -1) << "a late measurement does not revive it";

    clock.resend(200);  // the stream was made again: the last 200 are to be heard again
    EXPECT_EQ(clock.heard(false, 200, 9000 * kMs), 400);
    clock.reset();
    EXPECT_EQ(clock.heard(true, 0, 9000 * kMs), 0);
}

}  // namespace
