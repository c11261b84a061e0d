// The speech core with fake voices and a fake sink: what each voice is handed, when, and how
// play, pause, jumps, speed, mixed text, a failing voice and stop act on it. No real voice,
// no sound server; the real voices have their own tests through the engine libraries.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "synth/core/SpeechCore.h"
#include "synth/pipeline/SegmentSpeaker.h"
#include "tests/fakes/FakeSink.h"
#include "tests/fakes/FakeVoice.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using synth::Language;

namespace {

class PipelineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("synth-pipeline-" + std::to_string(getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        m_core = std::make_unique<synth::SpeechCore>(
            std::make_unique<FakeVoices>(m_log), [this](int, const std::string&) {
                auto sink = std::make_shared<FakeSink>(m_heardIsWritten);
                m_sinks.push_back(sink);
                return sink;
            });
    }
    void TearDown() override {
        m_core.reset();
        fs::remove_all(m_dir);
    }

    // Loads `lang` from a voice.conf holding `conf` (UTF-8 text, no front end); its sink.
    std::shared_ptr<FakeSink> load(Language lang, const std::string& conf) {
        const fs::path dir = m_dir / std::to_string(static_cast<int>(lang));
        fs::create_directories(dir);
        std::ofstream(dir / "voice.conf") << "encoding = UTF-8\n" << conf;
        EXPECT_EQ(m_core->load(lang, dir.c_str()), synth::kLoaded);
        return m_sinks.empty() ? nullptr : m_sinks.back();
    }
    bool play(Language lang, const std::string& text, int speed = 100) {
        auto job = std::make_shared<synth::Job>();
        job->text = std::make_shared<const std::string>(text);
        job->speed = speed;
        return m_core->play(lang, std::move(job));
    }
    void playMixed(Language lang, const std::string& text, const VtVoiceProsody (&prosody)[4]) {
        auto job = std::make_shared<synth::Job>();
        job->text = std::make_shared<const std::string>(text);
        job->mixed = std::make_unique<synth::MixedText>(static_cast<int>(lang), prosody, 4);
        job->speed = job->mixed->prosodyOf(static_cast<int>(lang)).speed;
        ASSERT_TRUE(m_core->play(lang, std::move(job)));
    }
    std::string reading(Language lang, const std::string& text) {
        std::string out;
        EXPECT_TRUE(m_core->readingOf(lang, text, out));
        return out;
    }
    // Waits until `done` holds, for at most a second.
    static bool eventually(const std::function<bool()>& done) {
        for (auto until = std::chrono::steady_clock::now() + 1s;
             std::chrono::steady_clock::now() < until; std::this_thread::sleep_for(1ms))
            if (done()) return true;
        return done();
    }

    fs::path m_dir;
    std::shared_ptr<VoiceLog> m_log = std::make_shared<VoiceLog>();
    bool m_heardIsWritten = true;
    std::vector<std::shared_ptr<FakeSink>> m_sinks;
    std::unique_ptr<synth::SpeechCore> m_core;
};

const std::string kThree = "One two. Three four. Five six.";

TEST_F(PipelineTest, EachSentenceIsSpokenOnceAsThePreviewShowsIt) {
    auto sink = load(Language::English, "voice = en\nbackend = flite\n");
    const fs::path dict = m_dir / "dict.csv";
    std::ofstream(dict) << "two,TWO\n";
    ASSERT_EQ(m_core->loadUserDictionary(Language::English, dict.c_str()), 1);
    ASSERT_TRUE(play(Language::English, kThree));
    ASSERT_TRUE(m_core->waitIdle(2000));

    const std::vector<std::string> spoken = m_log->texts("natural");
    ASSERT_EQ(spoken.size(), 3u);
    EXPECT_EQ(spoken[0], "One TWO.");
    std::string preview;
    for (const std::string& s : spoken) preview += "en\t" + s + "\n";
    EXPECT_EQ(reading(Language::English, kThree), preview) << "the preview drifts from speech";
    // The sentences after the first were synthesised ahead of their turn, and said once.
    EXPECT_EQ(m_log->texts("natural", true), std::vector<std::string>(spoken.begin() + 1, spoken.end()));
    EXPECT_TRUE(m_log->texts("fallback").empty());
    // The sink plays at the natural voice's rate: every sample arrives, none resampled.
    std::size_t bytes = 0;
    for (const std::string& s : spoken) bytes += s.size();
    EXPECT_EQ(sink->written(), static_cast<int64_t>(bytes * FakeVoice::kSamplesPerByte));
    EXPECT_TRUE(sink->ended());
}

TEST_F(PipelineTest, PauseHoldsJumpsGoOnFromASentenceAndSpeedTakesTheNextClause) {
    m_heardIsWritten = false;
    m_log->chunkDelay = 200us;
    auto sink = load(Language::English, "voice = en\n");
    const std::string text = kThree + " Seven eight. Nine ten.";
    ASSERT_TRUE(play(Language::English, text));
    ASSERT_TRUE(eventually([&] { return sink->written() > 0; }));
    m_core->pause(Language::English);
    const std::size_t held = m_log->texts().size();
    std::this_thread::sleep_for(50ms);
    EXPECT_LE(m_log->texts().size(), held + 1) << "sentences went on while paused";
    EXPECT_FALSE(m_core->waitIdle(20)) << "paused speech counted as finished";

    // The clock names the sentence heard and the word in it.
    sink->hear(FakeVoice::kSamplesPerByte * 8 - 1);
    synth::Heard heard;
    int rate = 0;
    ASSERT_TRUE(m_core->heardNow(Language::English, &heard, &rate));
    EXPECT_EQ(heard.sentence, "One two.");
    EXPECT_EQ(heard.sentenceStart, 0u);
    EXPECT_EQ(rate, FakeVoices::kRate);
    EXPECT_EQ(heard.wordStart, 4);

    // A jump leaves the pause and reads from the sentence at the offset on, at the new speed.
    m_core->setSpeed(Language::English, 200);
    ASSERT_TRUE(m_core->playFrom(Language::English, static_cast<int>(text.find("Seven"))));
    ASSERT_TRUE(m_core->waitIdle(2000));
    const auto said = m_log->all();
    ASSERT_GE(said.size(), 2u);
    EXPECT_EQ(said[said.size() - 2].text, "Seven eight.");
    EXPECT_EQ(said.back().text, "Nine ten.");
    EXPECT_EQ(said.back().speed, 200);

    // Stop ends the text: nothing to move in afterwards, and the worker is idle at once.
    ASSERT_TRUE(play(Language::English, text));
    m_core->stop(Language::English);
    EXPECT_TRUE(m_core->waitIdle(100));
    EXPECT_FALSE(m_core->playFrom(Language::English, 0));
}

TEST_F(PipelineTest, ThePauseBetweenSentencesIsAThirdOrTwiceTheVoicesOwnAndWordsStayInPlace) {
    m_heardIsWritten = false;
    m_log->silenceBefore = 300;
    m_log->silenceAfter = 600;
    auto sink = load(Language::English, "voice = en\n");
    // Each row: the setting, the silences between the three sentences' sounds.
    const std::pair<const char*, int64_t> rows[] = {
        {"normal", 900},
        {"long", 1800},
        {"short", 300},
    };
    EXPECT_FALSE(m_core->setOption(Language::English, "sentence-pause", "shorter"));
    for (const auto& [name, between] : rows) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(m_core->setOption(Language::English, "sentence-pause", name));
        ASSERT_TRUE(play(Language::English, kThree));
        ASSERT_TRUE(m_core->waitIdle(2000));
        EXPECT_EQ(sink->pauses(), (std::vector<int64_t>{between, between}));
    }
    // Words are heard where their sound begins: the first sentence keeps its whole lead (its
    // sound comes as early as ever), the second is marked after the third of its lead kept.
    const int64_t firstSound = 300, secondSound = firstSound + 800 + 200 + 100;
    const std::tuple<int64_t, const char*, int> heardRows[] = {
        {firstSound - 1, "One two.", 8},         {firstSound, "One two.", 3},
        {secondSound - 1, "Three four.", 11},    {secondSound, "Three four.", 5},
    };
    int64_t clock = 0;
    for (const auto& [at, sentence, wordEnd] : heardRows) {
        SCOPED_TRACE(at);
        sink->hear(at - clock);
        clock = at;
        synth::Heard heard;
        int rate = 0;
        ASSERT_TRUE(m_core->heardNow(Language::English, &heard, &rate));
        EXPECT_EQ(heard.sentence, sentence);
        EXPECT_EQ(heard.wordEnd, wordEnd);
    }
}

TEST_F(PipelineTest, MixedTextGoesToEachLoadedLanguageWithItsOwnSettings) {
    load(Language::Japanese, "voice = ja\n");
    load(Language::Korean, "voice = ko\n");
    const VtVoiceProsody prosody[4] = {{100, 120, 100}, {100, 100, 100}, {100, 100, 100},
                                       {100, 150, 100}};
    const std::string text = "今日はいい天気です。안녕하세요 여러분.";
    playMixed(Language::Japanese, text, prosody);
    ASSERT_TRUE(m_core->waitIdle(2000));
    auto said = m_log->all();
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[0].voice, "fallback ja");
    EXPECT_EQ(said[0].speed, 120);
    EXPECT_EQ(said[1].voice, "fallback ko");
    EXPECT_EQ(said[1].text, "안녕하세요 여러분.");
    EXPECT_EQ(said[1].speed, 150);
    EXPECT_EQ(reading(Language::Japanese, text), "ja\t今日はいい天気です。\nko\t안녕하세요 여러분.\n");

    // Without the Korean engine, the chosen one says the Hangul with its own fallback voice.
    m_core->unload(Language::Korean);
    m_log->said.clear();
    playMixed(Language::Japanese, text, prosody);
    ASSERT_TRUE(m_core->waitIdle(2000));
    said = m_log->all();
    ASSERT_EQ(said.size(), 2u);
    EXPECT_EQ(said[1].voice, "fallback ja");
    EXPECT_EQ(said[1].speed, 120);
}

TEST_F(PipelineTest, AFailingNaturalVoiceLeavesThatClauseToTheFallbackAndRestsWhenItKeepsFailing) {
    load(Language::English, "voice = en\nbackend = flite\n");
    m_log->failOn = "bad";
    ASSERT_TRUE(play(Language::English, "Good one. A bad two. Good three."));
    ASSERT_TRUE(m_core->waitIdle(2000));
    EXPECT_EQ(m_log->texts("natural"),
              (std::vector<std::string>{"Good one.", "A bad two.", "Good three."}));
    EXPECT_EQ(m_log->texts("fallback"), std::vector<std::string>{"A bad two."});

    // Failures let the voice rest, twice as long each time, until a quiet half minute passes:
    // a voice that fails every other clause is not started for each.
    synth::Voices voices;
    voices.natural = std::make_unique<FakeVoice>(m_log, "n", 8000);
    voices.fallback = std::make_unique<FakeVoice>(m_log, "f", 16000);
    const synth::VoiceBackend& natural = *voices.natural;
    synth::VoiceSet set(std::move(voices));
    const auto t0 = synth::VoiceSet::Clock::now();
    set.failed(natural, t0);
    EXPECT_NE(set.natural(false, t0), nullptr) << "one failure costs one clause";
    set.failed(natural, t0);
    EXPECT_EQ(set.natural(false, t0 + 900ms), nullptr);
    EXPECT_NE(set.natural(false, t0 + 1s), nullptr);
    set.succeeded(natural);
    set.failed(natural, t0 + 1s);
    EXPECT_EQ(set.natural(false, t0 + 2900ms), nullptr);
    EXPECT_NE(set.natural(false, t0 + 3s), nullptr);
    set.failed(natural, t0 + 40s);
    EXPECT_NE(set.natural(false, t0 + 40s), nullptr) << "an old failure still counted";
}

// A voice the user added speaks its language, also inside another language's reading; what it
// fails goes to the built-in voice, then to the fallback; and it can be given back or be
// missing.
TEST_F(PipelineTest, AnAddedVoiceSpeaksItsLanguageBeforeTheBuiltInOne) {
    load(Language::English, "voice = en\nbackend = flite\n");
    load(Language::Korean, "voice = ko\n");
    EXPECT_TRUE(m_core->setOption(Language::English, "voice", "amy"));
    EXPECT_TRUE(m_core->setOption(Language::Korean, "voice", "kim"));
    EXPECT_FALSE(m_core->setOption(Language::Korean, "no such option", "x"));
    m_log->failOn = "bad";
    const VtVoiceProsody prosody[4] = {
        {100, 100, 100}, {100, 100, 100}, {100, 100, 100}, {100, 100, 100}};
    playMixed(Language::English, "Good one. A bad two. 안녕하세요.", prosody);
    ASSERT_TRUE(m_core->waitIdle(2000));
    EXPECT_EQ(m_log->texts("added amy"), (std::vector<std::string>{"Good one.", "A bad two."}));
    EXPECT_EQ(m_log->texts("natural en"), std::vector<std::string>{"A bad two."});
    EXPECT_EQ(m_log->texts("fallback"), std::vector<std::string>{"A bad two."})
        << "every fake voice fails on it: the added one, the built-in one, then espeak-ng";
    EXPECT_EQ(m_log->texts("added kim"), std::vector<std::string>{"안녕하세요."});

    for (const char* value : {"", "missing"}) {
        SCOPED_TRACE(value);
        m_log->said.clear();
        EXPECT_TRUE(m_core->setOption(Language::English, "voice", value));
        ASSERT_TRUE(play(Language::English, "Good three."));
        ASSERT_TRUE(m_core->waitIdle(2000));
        EXPECT_EQ(m_log->texts("natural en"), std::vector<std::string>{"Good three."});
        EXPECT_TRUE(m_log->texts("added").empty());
    }
}

TEST_F(PipelineTest, ThousandRandomCallsFromTwoThreadsEndIdleAndStillSpeak) {
    m_log->chunkDelay = 20us;
    load(Language::English, "voice = en\nbackend = flite\n");
    load(Language::Korean, "voice = ko\n");
    auto hammer = [this](unsigned seed) {
        std::mt19937 random(seed);
        const Language langs[] = {Language::English, Language::Korean};
        for (int i = 0; i < 500; ++i) {
            const Language lang = langs[random() % 2];
            switch (random() % 8) {
                case 0: case 1: play(lang, kThree, 50 + static_cast<int>(random() % 350)); break;
                case 2: m_core->stop(lang); break;
                case 3: m_core->pause(lang); break;
                case 4: m_core->resume(lang); break;
                case 5: m_core->playFrom(lang, static_cast<int>(random() % kThree.size())); break;
                case 6: m_core->setSpeed(lang, static_cast<int>(random() % 500)); break;
                case 7: if (random() % 16 == 0) m_core->unload(lang); break;
            }
        }
    };
    std::thread other(hammer, 1);
    hammer(2);
    other.join();
    for (Language lang : {Language::English, Language::Korean}) {
        m_core->resume(lang);
        m_core->stop(lang);
    }
    EXPECT_TRUE(m_core->waitIdle(5000)) << "deadlocked";
    m_log->said.clear();
    load(Language::English, "voice = en\n");
    ASSERT_TRUE(play(Language::English, "Still here."));
    EXPECT_TRUE(m_core->waitIdle(2000));
    EXPECT_EQ(m_log->texts(), std::vector<std::string>{"Still here."});
}

// A voice that starts each text with `lead` quiet samples (|v| <= 30) in small chunks, then
// one loud chunk; its two words are told at 0 and at the loud chunk, before any audio.
class QuietLeadVoice final : public synth::VoiceBackend {
  public:
    explicit QuietLeadVoice(std::size_t lead) : m_lead(lead) {}
    int sampleRate() const override { return 16000; }
    std::string describe() const override { return "quiet lead"; }
    void tellWords(synth::WordOut words) override { m_words = std::move(words); }
    synth::SpeakResult speak(const std::string&, const synth::Prosody&, const synth::PcmOut& out,
                             const synth::Cancelled&) override {
        if (m_words) {
            m_words(0, 3, 0);
            m_words(4, 8, m_lead);
        }
        const std::vector<int16_t> quiet(100, 30), loud(400, 5000);
        for (std::size_t done = 0; done < m_lead; done += quiet.size())
            out(quiet.data(), std::min(quiet.size(), m_lead - done));
        out(loud.data(), loud.size());
        return synth::SpeakResult::Done;
    }

  private:
    std::size_t m_lead;
    synth::WordOut m_words;
};

TEST(SegmentSpeakerTest, AnUtterancesFirstSoundComesAtOnceAndItsWordsMoveWithIt) {
    constexpr std::size_t kLead = 16000 * 200 / 1000;  // 200 ms
    constexpr std::size_t kKept = 16000 * synth::SentenceOut::kFirstLeadMs / 1000;
    synth::Voices voices;
    voices.fallback = std::make_unique<QuietLeadVoice>(kLead);
    synth::VoiceSet set(std::move(voices));
    synth::Voicing voicing;
    voicing.voices = &set;
    voicing.fallbackOnly = true;
    int64_t samples = 0, written = 0;
    std::vector<std::pair<int, int64_t>> marks;
    synth::SentenceOut out(
        synth::SentencePause::Normal, true, 16000, samples,
        [&](const int16_t*, std::size_t count) { written += static_cast<int64_t>(count); },
        [&](int start, int, int64_t sample) { marks.push_back({start, sample}); });
    synth::SegmentSpeaker speaker;
    const synth::SpeechSegment first{false, "One two.", 0, 8}, second{false, "Six ten.", 0, 8};
    speaker.speak(voicing, first, {}, out, [] { return false; });
    EXPECT_EQ(samples, static_cast<int64_t>(kKept + 400)) << "the quiet before the first word";
    EXPECT_EQ(written, samples);
    // The segment, its first word (clamped to the segment's start) and the loud word.
    EXPECT_EQ(marks, (std::vector<std::pair<int, int64_t>>{{0, 0}, {0, 0}, {4, kKept}}));
    // Once the utterance has sound, a later segment's quiet is its pause, and is kept.
    marks.clear();
    speaker.speak(voicing, second, {}, out, [] { return false; });
    out.end(false);
    EXPECT_EQ(samples, static_cast<int64_t>(kKept + 400 + kLead + 400));
    EXPECT_EQ(written, samples);
    EXPECT_EQ(marks.back(), (std::pair<int, int64_t>{4, kKept + 400 + kLead}));
}

}  // namespace
