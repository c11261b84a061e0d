#include <gtest/gtest.h>

#include "platform/SelectionChain.h"
#include "tests/fakes/FakeSelection.h"

namespace {

// The sources are asked in order and the first with text answers; nothing selected (nullopt
// or empty) passes to the next; each read asks afresh, so an earlier answer never returns.
TEST(SelectionChain, TheFirstSourceWithTextAnswersAndEveryReadAsksAfresh) {
    FakeSelection atspi, dataControl, primary;
    platform::SelectionChain chain({{"AT-SPI", &atspi},
                                    {"absent", nullptr},
                                    {"data control", &dataControl},
                                    {"X11", &primary}});
    struct Row {
        std::optional<std::u16string> a, d, p, expected;
        const char* source;
        int primaryReads;  // how many times the last source was asked by this read
    };
    const Row rows[] = {
        {u"one", u"two", u"three", u"one", "AT-SPI", 0},
        {std::nullopt, u"two", u"three", u"two", "data control", 0},
        {u"", std::nullopt, u"three", u"three", "X11", 1},
        {std::nullopt, u"", std::nullopt, std::nullopt, "", 1},
        // The selection went away: the text of the read before must not come back.
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, "", 1},
    };
    // Each source offers HTML named after it: the HTML comes from the source that answered.
    atspi.html = "AT-SPI", dataControl.html = "data control", primary.html = "X11";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.source);
        atspi.text = row.a, dataControl.text = row.d, primary.text = row.p;
        const int before = primary.reads;
        EXPECT_EQ(chain.Text(), row.expected);
        EXPECT_EQ(chain.LastSource(), row.source);
        EXPECT_EQ(primary.reads - before, row.primaryReads);
        EXPECT_EQ(chain.Html().value_or(""), row.source);
    }
}

}  // namespace
