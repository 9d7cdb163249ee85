// GradientRect::Draw against Qt's own linear gradient fill of the same rectangle,
// at the same angle and colours. Run with --benchmark_repetitions=N to get the
// min and median rows.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "GradientRect.h"
#include "PictureBox.h"

namespace {

constexpr float kAngle = 240.0f;
constexpr std::int32_t kColor1 = 0x00FFFFFF; // white
constexpr std::int32_t kColor2 = 0x00FFFF80; // RGB(128,255,255)

class SilentReporter : public FailureReporter
{
  public:
    void reportFailure(std::string_view, std::string_view) override { ++failures; }
    int failures = 0;
};

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

void BM_GradientRectDraw(benchmark::State &state)
{
    popup::PictureBox box;
    box.resize(int(state.range(0)), int(state.range(1)));
    SilentReporter reporter;
    GradientRect gradient(reporter, {});
    gradient.setAngle(kAngle);
    gradient.setColor1(kColor1);
    gradient.setColor2(kColor2);
    for (auto _ : state) {
        bool drawn = gradient.Draw(box.drawTarget());
        benchmark::DoNotOptimize(drawn);
    }
    if (reporter.failures != 0) {
        state.SkipWithError("Draw reported a failure");
    }
}

void BM_QLinearGradientFill(benchmark::State &state)
{
    const int w = int(state.range(0));
    const int h = int(state.range(1));
    QImage image(w, h, QImage::Format_RGB32);
    // Direction of the gradient on a y-down screen, anticlockwise from the right.
    const double rad = kAngle * M_PI / 180.0;
    const QPointF dir(std::cos(rad), -std::sin(rad));
    const double half = (std::fabs(dir.x()) * w + std::fabs(dir.y()) * h) / 2.0;
    const QPointF centre(w / 2.0, h / 2.0);
    QLinearGradient lg(centre - dir * half, centre + dir * half);
    lg.setColorAt(0.0, QColor(255, 255, 255));
    lg.setColorAt(1.0, QColor(128, 255, 255));
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), lg);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
}

} // namespace

BENCHMARK(BM_GradientRectDraw)
    ->Args({111, 127})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", minimum);
BENCHMARK(BM_QLinearGradientFill)
    ->Args({111, 127})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMicrosecond)
    ->ComputeStatistics("min", minimum);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
