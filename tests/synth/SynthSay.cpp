// Speaks one text through an engine library into a WAV file, as the toolbar would have it
// spoken, for the scripts that measure what a voice sounds like (scripts/measure-wer).
//
// Usage: synth_say LANGUAGE ENGINE_DIR OUT.wav TEXT
//   LANGUAGE 7 to 10; ENGINE_DIR holds the voice.conf to use; TEXT in UTF-8.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/synth/EngineLibrary.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s LANGUAGE ENGINE_DIR OUT.wav TEXT\n", argv[0]);
        return 2;
    }
    const engine::LanguageInfo* lang = engine::FindLanguage(std::atoi(argv[1]));
    if (!lang) {
        std::fprintf(stderr, "synth_say: no language %s\n", argv[1]);
        return 2;
    }
    try {
        // The sink is chosen when the engine loads.
        setenv("SELVARINE_AUDIO", (std::string("wav:") + argv[3]).c_str(), 1);
        synthtest::EngineLibrary engine(SYNTH_MODULE_DIR, *lang);
        if (const short status = engine.loadFrom(argv[2]); status != 0) {
            std::fprintf(stderr, "synth_say: the engine in %s does not load (%d)\n", argv[2],
                         status);
            return 1;
        }
        synthtest::CoreProbe core(SYNTH_CORE_PATH);
        engine.play(synthtest::encode(argv[4], ("CP" + std::to_string(lang->codePage)).c_str()));
        const bool done = core.waitIdle(120000) == 1;
        engine.unload(0);
        if (!done) {
            std::fprintf(stderr, "synth_say: synthesis did not end\n");
            return 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "synth_say: %s\n", e.what());
        return 1;
    }
    return 0;
}
