// Redraw costs of the gradient controls at the sizes the main window gives them: the Calculate
// button (137 x 25 pixels) entering its hover look, and a step heading (537 x 17 pixels).
//   bench_gradient --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "OrvoLabel.h"
#include "OrvoSimpleButton.h"

#include <QApplication>
#include <QMouseEvent>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

std::unique_ptr<OrvoSimpleButton> calculateButton() {
    auto button = std::make_unique<OrvoSimpleButton>();
    button->InitProperties();
    button->setCaption("&Calculate MTD values");
    button->setFocusColour(0xFFFFC0);
    button->resize(137, 25);
    button->setPointerSource([b = button.get()] { return b->mapToGlobal(QPoint(60, 12)); });
    button->show();
    return button;
}

void moveOver(OrvoSimpleButton& button, int x) {
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 12), button.mapToGlobal(QPointF(x, 12)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &move);
}

void BM_CalculateButtonHoverRedraw(benchmark::State& state) {
    const auto button = calculateButton();
    moveOver(*button, 60);
    for (auto _ : state)
        button->setGradientDirection(1); // the hover look drawn again in full
    state.counters["draws"] = benchmark::Counter(button->drawCount(), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CalculateButtonHoverRedraw)->Unit(benchmark::kMicrosecond);

void BM_CalculateButtonThousandMoves(benchmark::State& state) {
    const auto button = calculateButton();
    int redraws = 0;
    for (auto _ : state) {
        state.PauseTiming();
        button->setEnabled(true); // back to the normal look
        const int before = button->drawCount();
        state.ResumeTiming();
        for (int i = 0; i < 1000; ++i)
            moveOver(*button, 5 + i % 120);
        redraws += button->drawCount() - before;
    }
    state.counters["redraws_per_1000_moves"] =
        benchmark::Counter(redraws, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CalculateButtonThousandMoves)->Unit(benchmark::kMicrosecond);

void BM_StepHeadingRedraw(benchmark::State& state) {
    OrvoLabel label;
    label.InitProperties();
    QFont arial("Arial");
    arial.setPointSizeF(8.25);
    arial.setBold(true);
    label.setCaption("2) Select the size of you router's Flash ROM size:");
    label.setNormalColour(0xC0E0FF);
    label.setLabelFont(arial);
    label.setTriColour(true);
    label.setDrawOuter(true);
    label.resize(537, 17);
    label.show();
    for (auto _ : state)
        label.setTriColour(true);
}
BENCHMARK(BM_StepHeadingRedraw)->Unit(benchmark::kMicrosecond);

} // namespace
