// Figures for the toolbar's start-up and repaint cost: building the outline (merged runs,
// and the one-pixel-at-a-time union for comparison), painting the background, and drawing
// the whole toolbar with its seven buttons. Run: QT_QPA_PLATFORM=offscreen toolbar_bench
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include "toolbar/Skin.h"
#include "toolbar/SkinLayout.h"
#include "toolbar/ToolbarChrome.h"
#include "toolbar/WindowOutline.h"

namespace {

void BM_OutlineMergedRuns(benchmark::State& state) {
    const QImage skin = Skin::load();
    for (auto _ : state)
        benchmark::DoNotOptimize(WindowOutline::build(skin, SkinLayout::kKeyColour));
}
BENCHMARK(BM_OutlineMergedRuns)->Unit(benchmark::kMicrosecond);

void BM_OutlinePixelUnions(benchmark::State& state) {
    const QImage skin = Skin::load();
    for (auto _ : state) {
        QRegion r;
        for (int y = 0; y < 38; ++y)
            for (int x = 0; x < 248; ++x)
                if ((skin.pixel(SkinLayout::outlineSourceColumn(x), y) & 0xFFFFFF) != 0xFF00FF)
                    r += QRect(x, y, 1, 1);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_OutlinePixelUnions)->Unit(benchmark::kMicrosecond);

void BM_PaintBackground(benchmark::State& state) {
    const QImage skin = Skin::load();
    QImage target(248, 38, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&target);
        Skin::paintBackground(p, skin);
    }
}
BENCHMARK(BM_PaintBackground)->Unit(benchmark::kMicrosecond);

class Toolbar : public QWidget {
  public:
    Toolbar() : chrome(new ToolbarChrome(this)) {
        setFixedSize(248, 38);
        chrome->loadSkin();
        chrome->buildWindowRegion();
        chrome->createButtons([] { return 7; });
    }
    ToolbarChrome* chrome;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        chrome->paintBackground(p);
    }
};

void BM_PaintWholeToolbar(benchmark::State& state) {
    Toolbar toolbar;
    QImage target(248, 38, QImage::Format_RGB32);
    for (auto _ : state) toolbar.render(&target);
}
BENCHMARK(BM_PaintWholeToolbar)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
