// The caption's logic against a fake strip and engine.

#include <gtest/gtest.h>

#include "app/CaptionFollower.h"
#include "tests/fakes/FakeEngineSet.h"

namespace {

class FakeCaption : public CaptionView {
  public:
    int ShowCaption(const std::string& sentence, int wordStart, int wordEnd) override {
        log.push_back("show " + sentence + " " + std::to_string(wordStart) + "-" +
                      std::to_string(wordEnd));
        return height;
    }
    void MoveCaption(int x, int y) override {
        log.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void HideCaption() override { log.push_back("hide"); }
    std::vector<std::string> log;
    int height = 40;
};

TEST(CaptionFollower, ShowsWhatIsHeardOnceFollowsTheToolbarAndHidesOnlyAfterAPause) {
    FakeCaption view;
    FakeEngineSet engines;
    CaptionFollower caption(view, engines, [] { return 7; });
    caption.ToolbarAt({100, 100, 248, 38}, {{0, 0, 1280, 800}});
    caption.Poll();
    EXPECT_TRUE(view.log.empty()) << "nothing heard, nothing shown";

    engine::HeardPosition heard;
    heard.sentence = "一文目。";
    heard.wordStart = 0;
    heard.wordEnd = 3;
    engines.heard = heard;
    caption.Poll();
    caption.Poll();  // unchanged: not drawn again
    engines.heard->wordStart = 3;
    engines.heard->wordEnd = 6;
    caption.Poll();
    caption.ToolbarAt({100, 740, 248, 38}, {{0, 0, 1280, 800}});  // dragged near the bottom
    EXPECT_EQ(view.log, (std::vector<std::string>{"show 一文目。 0-3", "move 100,138",
                                                  "show 一文目。 3-6", "move 100,700"}));
    view.log.clear();
    engines.heard.reset();
    for (int i = 1; i < CaptionFollower::kMissesBeforeHiding; ++i) caption.Poll();
    EXPECT_TRUE(view.log.empty()) << "a moment without a position made it blink";
    caption.Poll();
    EXPECT_EQ(view.log, std::vector<std::string>{"hide"});
}

}  // namespace
