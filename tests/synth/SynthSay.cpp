// Speaks one text through an engine library into a WAV file, as the toolbar would have it
// spoken, for the scripts that measure what a voice sounds like (scripts/measure-wer).
//
// Usage: synth_say LANGUAGE ENGINE_DIR OUT.wav TEXT [OPTION=VALUE...]
//   LANGUAGE 7 to 10; ENGINE_DIR holds the voice.conf to use; TEXT in UTF-8; each OPTION is
//   told to the engine before it plays (VT_SETOPTION_x: sentence-pause=long, links=all).

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/synth/EngineLibrary.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s LANGUAGE ENGINE_DIR OUT.wav TEXT [OPTION=VALUE...]\n",
                     argv[0]);
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
        for (int i = 5; i < argc; ++i) {
            const std::string option = argv[i];
            const std::size_t eq = option.find('=');
            if (eq == std::string::npos ||
                engine.setOption(option.substr(0, eq).c_str(), option.c_str() + eq + 1) != 1) {
                std::fprintf(stderr, "synth_say: the engine does not take %s\n", argv[i]);
                return 2;
            }
        }
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
