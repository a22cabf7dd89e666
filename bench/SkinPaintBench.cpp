// Repainting the chat window with two conversation tabs (the documentation's pictures: one in
// Realtime, one in IM with preview, both holding text), natively and with the built-in skin.
// Each repaint renders the whole window, every control through the style, into an image of the
// window's size. Rounds without and with the skin take turns, so that a change in the machine's
// load meets both alike.
// The first repaint of each skinned round composes the skin's pictures and is reported apart;
// the rest come from the cache.
//
// Usage: bench_skin_paint [repaints] [rounds]   (default 200 repaints in each of 5 rounds of
// each kind)

#include "support/ChatWindowScene.h"

#include "chatui/TChatForm.h"
#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinLoader.h"
#include "skin/TSkinData.h"
#include "skin/TSkinStyle.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace quillet;
using quillet::testing::TChatWindowScene;
using quillet::testing::TFakeTickSource;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 != 0 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct TSamples {
    std::vector<double> FirstMs;
    std::vector<double> RepaintMs;
};

// One round: the first repaint after the style changed, then `repaints` more.
void Measure(QWidget& window, int repaints, TSamples& samples)
{
    QApplication::processEvents();
    QImage canvas(window.size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer clock;
    clock.start();
    window.render(&canvas);
    samples.FirstMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    for (int i = 0; i < repaints; ++i) {
        clock.restart();
        window.render(&canvas);
        samples.RepaintMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
}

void Report(const char* what, const TSamples& samples)
{
    std::vector<double> repaints = samples.RepaintMs;
    std::sort(repaints.begin(), repaints.end());
    const double p90 = repaints[std::min(repaints.size() - 1, repaints.size() * 9 / 10)];
    std::printf("%-14s repaint n=%zu median %7.3f ms  p90 %7.3f ms  min %7.3f ms;  first after "
                "the style changed: median %7.3f ms\n",
        what, repaints.size(), Median(repaints), p90, repaints.front(), Median(samples.FirstMs));
}

} // namespace

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int repaints = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;

    TFakeTickSource ticks { 100000 };
    TChatForm form;
    form.show();
    TChatWindowScene scene(form, ticks);

    TSamples native;
    TSamples skinned;
    int composed = 0;
    for (int round = 0; round < rounds; ++round) {
        Measure(form, repaints, native);
        const TSkinData skin(skin::LoadSkin({}, skin::BuiltinSkinPackage()));
        if (!skin.Active()) {
            std::fprintf(stderr, "the built-in skin did not load\n");
            return 1;
        }
        Measure(form, repaints, skinned);
        composed = skin.SkinStyle()->Painter().ComposedCount();
    }
    Report("native", native);
    Report("built-in skin", skinned);
    std::printf("skinned repaint: %.2f x native (medians); pictures composed per round: %d\n",
        Median(skinned.RepaintMs) / Median(native.RepaintMs), composed);
    return 0;
}
