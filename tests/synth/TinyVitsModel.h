#pragma once
// A tiny VITS-format voice for tests, written out byte by byte: an ONNX graph with the
// runtime's inputs (token ids, their count, noise, length and duration-noise scales) whose
// output has kHop samples per token times the length scale, all of one level, with the
// metadata a VITS voice carries, plus tokens.txt and lexicon.txt for a handful of words.

#include <map>
#include <string>

namespace tiny_vits {

inline constexpr int kHop = 256;
inline constexpr float kLevel = 0.25f;

// The metadata written (keys left out of `meta` are left out of the model).
std::map<std::string, std::string> defaultMetadata();

// Writes model.onnx, tokens.txt and lexicon.txt into `folder` (which must exist). The
// lexicon knows "hello" (4 tokens) and "world" (5 tokens); a blank token goes between words.
// `level` is the value of every sample (0: a voice that says only silence).
void write(const std::string& folder,
           const std::map<std::string, std::string>& meta = defaultMetadata(),
           float level = kLevel);

// The ONNX file's bytes alone.
std::string model(const std::map<std::string, std::string>& meta, float level = kLevel);

}  // namespace tiny_vits
