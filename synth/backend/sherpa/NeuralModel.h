#pragma once
// A neural voice folder, as users download and unpack it: what it holds and whether our
// helper can load it. Checked in the toolbar's process without loading the model, so that a
// folder the runtime would choke on (it ends its process on some) is refused with a reason.

#include <map>
#include <optional>
#include <string>

namespace synth {

struct NeuralModel {
    std::string folder;
    std::string model;    // the .onnx file
    std::string tokens;   // tokens.txt
    std::string lexicon;  // lexicon.txt, or empty
    std::string dataDir;  // espeak-ng-data, or empty
    int sampleRate = 0;
    int speakers = 1;
    std::string language;  // as the model names it ("English", "Chinese", ...)
};

// The metadata of an ONNX model file (its key/value pairs), read without the graph: nothing
// when the file is not an ONNX model, with the reason in *why.
std::optional<std::map<std::string, std::string>> readOnnxMetadata(const std::string& file,
                                                                   std::string* why);

// The folder's voice, or nothing with the reason in *why.
std::optional<NeuralModel> inspectNeuralModel(const std::string& folder, std::string* why);

}  // namespace synth
