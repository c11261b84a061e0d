#include "reading/HtmlRuby.h"

#include <gtest/gtest.h>

#include <chrono>

#include "HexBytes.h"
#include "ReadingFixture.h"
#include "platform/Utf8.h"

namespace {

TEST(HtmlRuby, TextWithRubyAnnotated) {
    // Each row: the HTML, the text read from it ("-": none, the plain text stays).
    const std::pair<const char*, const char*> rows[] = {
        // Chromium's copy of a learners' page: per-kanji ruby with <rp> fallbacks.
        {"<meta charset='utf-8'><p><ruby>門<rp>(</rp><rt>もん</rt><rp>)</rp>前<rt>ぜん</rt>"
         "</ruby><ruby>払<rt>ばら</rt></ruby>いを食う。</p>",
         "｜門《もん》｜前《ぜん》｜払《ばら》いを食う。"},
        {"<ruby><rb>東京</rb><rt>トウキョウ</rt></ruby>", "｜東京《トウキョウ》"},
        // A gloss that is not a reading: the base only, the gloss not read twice.
        {"<ruby>漢字<rt>kanji</rt></ruby>です", "漢字です"},
        // Double-sided ruby: the inner readings; the outer gloss has no base left to annotate.
        {"<ruby><ruby>東<rt>とう</rt>京<rt>きょう</rt></ruby><rt>Tokyo</rt></ruby>",
         "｜東《とう》｜京《きょう》"},
        // A reading without a base is still read; an unclosed ruby (and </rt>, which HTML lets
        // authors leave out) ends at its paragraph.
        {"<ruby><rt>よみ</rt></ruby>と<ruby>字<rt>じ", "よみと｜字《じ》"},
        {"<p><ruby>漢字<rt>かん</p><p>次の段落。</p>", "｜漢字《かん》\n\n次の段落。"},
        // Script and style are never read, comments and markup neither; entities are text.
        {"<style>p{x:1}</style><script>if (a<b) alert('<ruby>')</script><!-- <b> -->"
         "<ruby>字<rt>じ</rt></ruby> &amp; &#x5B57;&#23383; &bogus; a < b<br>次",
         "｜字《じ》 & 字字 &bogus; a < b\n次"},
        // A mark of the notation, or a sentence end, inside the base cannot be carried.
        {"<ruby>｜字<rt>じ</rt></ruby>", "｜字"},
        {"<ruby>字。<rt>じ</rt></ruby>", "字。"},
        {"<p>No ruby here.</p>", "-"},
    };
    for (const auto& [html, expected] : rows) {
        SCOPED_TRACE(html);
        const auto text = reading::TextWithRuby(html);
        EXPECT_EQ(text.value_or("-"), expected);
    }
    // UTF-16 with a byte order mark, as some browsers offer text/html.
    const std::u16string wide = u"\uFEFF<ruby>字<rt>じ</rt></ruby>";
    const std::string bytes(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
    EXPECT_EQ(reading::TextWithRuby(bytes).value_or("-"), "｜字《じ》");
    EXPECT_EQ(reading::TextWithRuby(bytes.substr(2)).value_or("-"), "｜字《じ》");
}

// Pathological HTML costs one pass: 50 MB of unclosed ruby and tags, and a script never ended.
TEST(HtmlRuby, LargeAndUnbalancedInputStaysLinear) {
    std::string html;
    while (html.size() < (50u << 20)) html += "<ruby><ruby>字<rt>じ<rt><rp><b x='>'>";
    const auto start = std::chrono::steady_clock::now();
    const auto text = reading::TextWithRuby(html);
    ASSERT_TRUE(text.has_value());
    EXPECT_LT(text->size(), html.size());
    EXPECT_TRUE(reading::TextWithRuby("<script>" + html).value_or("").empty());
    std::printf("50 MB of unbalanced ruby: %.0f ms\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
}

using HtmlController = ReadingFixture;

// The HTML beside the copied text decides for Japanese; other voices read the base.
TEST_F(HtmlController, RubyFromTheClipboardsHtml) {
    for (const int language : {7, 8}) {
        SCOPED_TRACE(language);
        engines.calls.clear();
        settings.language = language;
        EditorCopies(u"字じa");
        capture.OnReadSelection();
        clipboard.html = "<ruby>字<rt>じ</rt></ruby>a";
        Tick();
        ASSERT_EQ(engines.Summary(),
                  "Stop " + std::to_string(language) + ", Play " + std::to_string(language));
        // CP932 ｜字《じ》a; in CP1252 the kanji has no character.
        EXPECT_EQ(Hex(engines.calls[1].text), language == 7 ? "81628E9A817382B681746"
                                                              "1"
                                                            : "3F61");
    }
}

}  // namespace
