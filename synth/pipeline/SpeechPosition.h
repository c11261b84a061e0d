#pragma once
// What the listener hears of the text an engine reads. The worker notes where each sentence
// (and word, where the voice tells) begins among the samples it hands the sink; the sink's
// playback position then names the sentence and word being heard. One per engine; any thread.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace synth {

struct Heard {
    bool speaking = false;
    std::size_t sentenceStart = 0, sentenceEnd = 0;  // bytes into the played text
    long long previousStart = -1;      // the sentence read before this one; -1 for none
    int wordStart = -1, wordEnd = -1;  // bytes into `sentence`; -1 without word marks
    int64_t heardSamples = 0;          // of this sentence
    std::string sentence;              // UTF-8
};

class SpeechPosition {
  public:
    // A new text: forgets every sentence. An utterance goes on with the same text after a
    // jump (restart): the sentences read stay known, the sample count starts again.
    void newText(uint64_t utterance);
    void restart(uint64_t utterance);

    // The worker's marks: a sentence, or a word of the latest sentence (bytes into its text),
    // begins at this many samples into the utterance. Marks of another utterance are dropped.
    void sentence(uint64_t utterance, std::size_t start, std::size_t end, std::string text,
                  int64_t firstSample);
    void word(uint64_t utterance, int start, int end, int64_t firstSample);

    // What is heard once `heardSamples` of the utterance have played; nothing (speaking false)
    // before its first sentence is heard or for another utterance.
    Heard at(uint64_t utterance, int64_t heardSamples) const;

  private:
    struct Word {
        int start, end;
        int64_t firstSample;
    };
    struct Sentence {
        std::size_t start, end;
        std::string text;
        int64_t firstSample;
        std::vector<Word> words;
    };

    mutable std::mutex m_mutex;
    uint64_t m_nUtterance = 0;
    std::vector<Sentence> m_sentences;  // of this utterance, by first sample
    // Every sentence read since the text was played, by start; what "previous" looks in.
    std::map<std::size_t, std::size_t> m_starts;
};

}  // namespace synth
