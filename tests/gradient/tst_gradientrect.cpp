#include <QtTest>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <vector>

#include "FakeDrawTarget.h"
#include "GradientFill.h"
#include "GradientRect.h"
#include "RecordingDrawingContext.h"

using Colors = std::vector<std::int32_t>;
Q_DECLARE_METATYPE(Colors)

namespace {

using Op = RecordingDrawingContext::Op;

// The system colour of index i in these tests.
std::int32_t fakeSysColor(int index)
{
    return 0x00010203 * (index + 1);
}

// White with the given red values: the fills below run red from 255 to 128.
Colors whiteWithRed(std::initializer_list<std::int32_t> reds)
{
    Colors c;
    for (const std::int32_t red : reds) {
        c.push_back(0x00FFFF00 | red);
    }
    return c;
}

} // namespace

class TestGradientRect : public QObject
{
    Q_OBJECT

  private slots:
    void creationValues();
    void angleWraps_data();
    void angleWraps();
    void colourResolution_data();
    void colourResolution();
    void blendColors_data();
    void blendColors();
    void blendColorsRefusesRampTooLong();
    void fillDrawsEachLineWithItsOwnPen_data();
    void fillDrawsEachLineWithItsOwnPen();
    void drawNeedsTwoPixelsEachWay_data();
    void drawNeedsTwoPixelsEachWay();
    void drawReportsMissingTarget_data();
    void drawReportsMissingTarget();
    void drawReportsFillFailures_data();
    void drawReportsFillFailures();
    void failingPenLeavesContextClean();
    void secondDrawUsesNewValuesOnly();
};

void TestGradientRect::creationValues()
{
    FakeFailureReporter reporter;
    const GradientRect g(reporter, fakeSysColor);
    QCOMPARE(g.Color1(), 16777168);
    QCOMPARE(g.Color2(), 4194304);
    QCOMPARE(g.Angle(), 315.0f);
}

void TestGradientRect::angleWraps_data()
{
    QTest::addColumn<float>("set");
    QTest::addColumn<float>("expected");
    QTest::newRow("-45") << -45.0f << 315.0f;
    QTest::newRow("360") << 360.0f << 0.0f;
    QTest::newRow("725") << 725.0f << 5.0f;
    QTest::newRow("315") << 315.0f << 315.0f;
    QTest::newRow("-720.5") << -720.5f << 359.5f;
    QTest::newRow("tiny negative") << -0.0000001f << 360.0f;
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << 315.0f;
    QTest::newRow("+inf") << std::numeric_limits<float>::infinity() << 315.0f;
    QTest::newRow("-inf") << -std::numeric_limits<float>::infinity() << 315.0f;
    // 2^60 = 360 * k + 136 exactly.
    QTest::newRow("2^60") << std::ldexp(1.0f, 60) << 136.0f;
    QTest::newRow("-2^60") << -std::ldexp(1.0f, 60) << 224.0f;
    QTest::newRow("largest float")
        << std::numeric_limits<float>::max()
        << float(std::fmod(double(std::numeric_limits<float>::max()), 360.0));
}

void TestGradientRect::angleWraps()
{
    QFETCH(float, set);
    QFETCH(float, expected);
    FakeFailureReporter reporter;
    GradientRect g(reporter, fakeSysColor);
    g.setAngle(set);
    QCOMPARE(g.Angle(), expected);
}

void TestGradientRect::colourResolution_data()
{
    QTest::addColumn<std::int32_t>("set");
    QTest::addColumn<std::int32_t>("expected");
    QTest::newRow("ordinary") << std::int32_t(0x00123456) << std::int32_t(0x00123456);
    QTest::newRow("top byte set") << std::int32_t(0x01000005) << std::int32_t(0x01000005);
    QTest::newRow("system 0") << std::int32_t(0x80000000) << fakeSysColor(0);
    QTest::newRow("system 5") << std::int32_t(0x80000005) << fakeSysColor(5);
    QTest::newRow("system 24") << std::int32_t(0x80000018) << fakeSysColor(24);
    QTest::newRow("system 25 kept") << std::int32_t(0x80000019) << std::int32_t(0x80000019);
    QTest::newRow("-1 kept") << std::int32_t(-1) << std::int32_t(-1);
}

void TestGradientRect::colourResolution()
{
    QFETCH(std::int32_t, set);
    QFETCH(std::int32_t, expected);
    FakeFailureReporter reporter;
    GradientRect g(reporter, fakeSysColor);
    g.setColor1(set);
    QCOMPARE(g.Color1(), expected);
    QCOMPARE(g.Color2(), 4194304);
    g.setColor2(set);
    QCOMPARE(g.Color2(), expected);
}

void TestGradientRect::blendColors_data()
{
    QTest::addColumn<std::int32_t>("from");
    QTest::addColumn<std::int32_t>("to");
    QTest::addColumn<std::int32_t>("steps");
    QTest::addColumn<Colors>("expected");

    QTest::newRow("creation colours, 5")
        << 16777168 << 4194304 << 5 << Colors{16777168, 14273702, 11770237, 9201235, 4194304};
    QTest::newRow("red up, 5") << 0 << 255 << 5 << Colors{0, 51, 102, 153, 255};
    QTest::newRow("red up, 4") << 0 << 255 << 4 << Colors{0, 64, 128, 255};
    QTest::newRow("red down, 4") << 255 << 0 << 4 << Colors{255, 191, 128, 0};
    QTest::newRow("green down, 4") << 0xFF00 << 0 << 4 << Colors{0xFF00, 191 << 8, 128 << 8, 0};
    QTest::newRow("blue up, 5") << 0 << 0xFF0000 << 5
                                << Colors{0, 51 << 16, 102 << 16, 153 << 16, 0xFF0000};
    QTest::newRow("1 step") << 10 << 20 << 1 << Colors{10, 20};
    QTest::newRow("0 steps") << 10 << 20 << 0 << Colors{10, 20};
    QTest::newRow("negative steps") << 10 << 20 << -7 << Colors{10, 20};
    QTest::newRow("equal colours")
        << 0x00406080 << 0x00406080 << 4 << Colors{0x00406080, 0x00406080, 0x00406080, 0x00406080};
    // Colour n of a ramp of `steps` is start + n * (end - start) / steps, to the
    // nearest whole value with ties to the even one.
    // 5 / 4 = 1.25: 1.25 -> 1, 2.5 -> 2 (not 3).
    QTest::newRow("red 0 to 5, 4, tie to even below") << 0 << 5 << 4 << Colors{0, 1, 2, 5};
    // -5 / 4 = -1.25: 3.75 -> 4, 2.5 -> 2 (not 3).
    QTest::newRow("red 5 to 0, 4, tie to even below") << 5 << 0 << 4 << Colors{5, 4, 2, 0};
    // 7 / 4 = 1.75: 1.75 -> 2, 3.5 -> 4.
    QTest::newRow("red 0 to 7, 4, tie to even above") << 0 << 7 << 4 << Colors{0, 2, 4, 7};
    // 13 / 4 = 3.25: 3.25 -> 3, 6.5 -> 6 (not 7).
    QTest::newRow("green 0 to 13, 4, tie")
        << 0 << (13 << 8) << 4 << Colors{0, 3 << 8, 6 << 8, 13 << 8};
    // 10 / 8 = 1.25: 1.25, 2.5, 3.75, 5, 6.25, 7.5 -> 1, 2, 4, 5, 6, 8.
    QTest::newRow("blue 0 to 10, 8, ties both ways")
        << 0 << (10 << 16) << 8
        << Colors{0, 1 << 16, 2 << 16, 4 << 16, 5 << 16, 6 << 16, 8 << 16, 10 << 16};
    // Each channel 5 -> 0 in 4: 3.75 -> 4, 2.5 -> 2.
    QTest::newRow("all channels 5 to 0, 4")
        << 0x00050505 << 0 << 4 << Colors{0x00050505, 0x00040404, 0x00020202, 0};
    // An unresolved reference blends through its low bytes (red 25) and stays whole
    // at the end of the ramp.
    QTest::newRow("unresolved reference")
        << std::int32_t(0x80000019) << 0 << 5 << Colors{std::int32_t(0x80000019), 20, 15, 10, 0};
}

void TestGradientRect::blendColors()
{
    QFETCH(std::int32_t, from);
    QFETCH(std::int32_t, to);
    QFETCH(std::int32_t, steps);
    QFETCH(Colors, expected);

    Colors out{7, 7, 7, 7, 7, 7, 7, 7, 7};
    QCOMPARE(GradientRect::BlendColors(from, to, steps, out), std::int32_t(expected.size()));
    QCOMPARE(out, expected);
}

void TestGradientRect::blendColorsRefusesRampTooLong()
{
    Colors out{1, 2, 3};
    QCOMPARE(GradientRect::BlendColors(0, 255, std::numeric_limits<std::int32_t>::max(), out), 0);
    QVERIFY(out.empty());
}

void TestGradientRect::fillDrawsEachLineWithItsOwnPen_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("angle");
    QTest::addColumn<int>("result");
    QTest::addColumn<QList<QPoint>>("ends"); // start and end of each line, in order
    QTest::addColumn<Colors>("pens");        // the colour of each line, in order

    QList<QPoint> at0;
    for (int x = 0; x <= 5; ++x) {
        at0 << QPoint(x, 5) << QPoint(x, -3);
    }
    // A ramp of 6: red steps by -127 / 6 = -21.17 from 255.
    QTest::newRow("4x3 at 0") << 4 << 3 << 0.0f << 12 << at0
                              << whiteWithRed({255, 234, 213, 192, 170, 128});
    QList<QPoint> at90;
    for (int y = 3; y >= -1; --y) {
        at90 << QPoint(6, y) << QPoint(-2, y);
    }
    // 10 points: 5 lines meet a ramp of 5 colours, red stepping by -25.4.
    QTest::newRow("4x3 at 90") << 4 << 3 << 90.0f << 10 << at90
                               << whiteWithRed({255, 230, 204, 179, 128});
    QList<QPoint> at240;
    for (int k = 0; k <= 14; ++k) {
        at240 << QPoint(-2, k - 8) << QPoint(12, k);
    }
    // 31 points: 15 lines, a ramp of 16 colours whose last one (128) is not drawn; red
    // steps by -127 / 16 = -7.9375, so 255 - 7.9375 n for n = 1 .. 14.
    QTest::newRow("10x6 at 240") << 10 << 6 << 240.0f << 30 << at240
                                 << whiteWithRed({255, 247, 239, 231, 223, 215, 207, 199, 192, 184,
                                                  176, 168, 160, 152, 144});
}

void TestGradientRect::fillDrawsEachLineWithItsOwnPen()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, angle);
    QFETCH(int, result);
    QFETCH(QList<QPoint>, ends);
    QFETCH(Colors, pens);

    const std::int32_t c1 = 0x00FFFFFF;
    const std::int32_t c2 = 0x00FFFF80;
    RecordingDrawingContext dc;
    FakeFailureReporter reporter;
    QCOMPARE(gradient::detail::FillGradient(dc, width, height, angle, c1, c2, reporter), result);
    QVERIFY(reporter.reports.empty());

    const int lineCount = int(ends.size()) / 2;
    QCOMPARE(int(pens.size()), lineCount);
    QCOMPARE(int(dc.calls.size()), 6 * lineCount);
    for (int k = 0; k < lineCount; ++k) {
        const auto *call = &dc.calls[std::size_t(6 * k)];
        const std::int32_t pen = k + 1; // the recorder numbers pens from 1
        QCOMPARE(call[0].op, Op::Move);
        QCOMPARE(QPoint(call[0].a, call[0].b), ends[2 * k]);
        QCOMPARE(call[1].op, Op::CreatePen);
        QCOMPARE(call[1].a, 0); // solid
        QCOMPARE(call[1].b, 1); // one pixel
        QCOMPARE(call[1].c, pens[std::size_t(k)]);
        QCOMPARE(call[2].op, Op::Select);
        QCOMPARE(call[2].a, pen);
        QCOMPARE(call[3].op, Op::Line);
        QCOMPARE(QPoint(call[3].a, call[3].b), ends[2 * k + 1]);
        QCOMPARE(call[3].c, pen);
        QCOMPARE(call[4].op, Op::Select);
        QCOMPARE(call[4].a, RecordingDrawingContext::kStockPen);
        QCOMPARE(call[5].op, Op::Delete);
        QCOMPARE(call[5].a, pen);
    }
    QCOMPARE(dc.livePens(), 0);
    QCOMPARE(dc.selected, RecordingDrawingContext::kStockPen);
}

void TestGradientRect::drawNeedsTwoPixelsEachWay_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("known");
    QTest::addColumn<bool>("drawn");
    QTest::newRow("0x0") << 0 << 0 << true << false;
    QTest::newRow("1x50") << 1 << 50 << true << false;
    QTest::newRow("50x1") << 50 << 1 << true << false;
    QTest::newRow("negative") << -5 << 20 << true << false;
    QTest::newRow("unknown rect") << 20 << 20 << false << false;
    QTest::newRow("2x2") << 2 << 2 << true << true;
    QTest::newRow("4x3") << 4 << 3 << true << true;
}

void TestGradientRect::drawNeedsTwoPixelsEachWay()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, known);
    QFETCH(bool, drawn);

    FakeWindow window;
    window.width = width;
    window.height = height;
    window.known = known;
    RecordingDrawingContext dc;
    FakeDrawTarget target;
    target.window = &window;
    target.context = &dc;
    FakeFailureReporter reporter;
    GradientRect g(reporter, fakeSysColor);

    QCOMPARE(g.Draw(target), drawn);
    QCOMPARE(dc.calls.empty(), !drawn);
    QVERIFY(reporter.reports.empty());
    QCOMPARE(window.locks, 1);
    QCOMPARE(window.unlocks, 1);
}

void TestGradientRect::drawReportsMissingTarget_data()
{
    QTest::addColumn<bool>("hasWindow");
    QTest::addColumn<bool>("hasContext");
    QTest::addColumn<int>("locks");
    QTest::newRow("no window") << false << true << 0;
    QTest::newRow("no drawing context") << true << false << 1;
}

void TestGradientRect::drawReportsMissingTarget()
{
    QFETCH(bool, hasWindow);
    QFETCH(bool, hasContext);
    QFETCH(int, locks);

    FakeWindow window;
    window.width = 10;
    window.height = 10;
    RecordingDrawingContext dc;
    FakeDrawTarget target;
    target.window = hasWindow ? &window : nullptr;
    target.context = hasContext ? &dc : nullptr;
    FakeFailureReporter reporter;
    GradientRect g(reporter, fakeSysColor);

    QVERIFY(!g.Draw(target));
    QCOMPARE(int(reporter.reports.size()), 1);
    QCOMPARE(reporter.reports[0].caption, std::string()); // the program's title
    QVERIFY(!reporter.reports[0].text.empty());
    QCOMPARE(window.locks, locks);
    QCOMPARE(window.unlocks, locks);
    QVERIFY(!window.locked);
    QVERIFY(dc.calls.empty());
}

void TestGradientRect::drawReportsFillFailures_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("text");
    QTest::newRow("lines beyond 32 bits")
        << std::numeric_limits<int>::max() << std::numeric_limits<int>::max() << "溢出";
    QTest::newRow("list too long") << 300'000'000 << 2 << "内存不足";
}

void TestGradientRect::drawReportsFillFailures()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, text);

    FakeWindow window;
    window.width = width;
    window.height = height;
    RecordingDrawingContext dc;
    FakeDrawTarget target;
    target.window = &window;
    target.context = &dc;
    FakeFailureReporter reporter;
    GradientRect g(reporter, fakeSysColor);

    QVERIFY(!g.Draw(target));
    QCOMPARE(int(reporter.reports.size()), 1);
    QCOMPARE(reporter.reports[0].caption, std::string("GradientRect"));
    QCOMPARE(QString::fromStdString(reporter.reports[0].text), text);
    QCOMPARE(window.unlocks, 1);
    QVERIFY(dc.calls.empty());
}

void TestGradientRect::failingPenLeavesContextClean()
{
    FakeWindow window;
    window.width = 4;
    window.height = 3;
    RecordingDrawingContext dc;
    dc.failPenAt(2);
    FakeDrawTarget target;
    target.window = &window;
    target.context = &dc;
    FakeFailureReporter reporter;
    GradientRect g(reporter, fakeSysColor);
    g.setAngle(0.0f);

    QVERIFY(!g.Draw(target));
    QCOMPARE(int(reporter.reports.size()), 1);
    QCOMPARE(reporter.reports[0].caption, std::string("GradientRect"));
    QCOMPARE(reporter.reports[0].text, std::string("内存不足"));
    QCOMPARE(dc.livePens(), 0);
    QCOMPARE(dc.selected, RecordingDrawingContext::kStockPen);
    QCOMPARE(window.unlocks, 1);
}

void TestGradientRect::secondDrawUsesNewValuesOnly()
{
    FakeWindow window;
    window.width = 4;
    window.height = 3;
    FakeDrawTarget target;
    target.window = &window;
    FakeFailureReporter reporter;
    GradientRect g(reporter, fakeSysColor);

    RecordingDrawingContext first;
    target.context = &first;
    g.setAngle(0.0f);
    QVERIFY(g.Draw(target));

    RecordingDrawingContext second;
    target.context = &second;
    g.setAngle(90.0f);
    g.setColor1(0x00000010);
    g.setColor2(0x00000050);
    QVERIFY(g.Draw(target));
    QCOMPARE(int(second.calls.size()), 6 * 5);
    QCOMPARE(second.calls[0].a, 6);
    QCOMPARE(second.calls[0].b, 3);
    // Red 16 to 80 in 5: steps of 12.8, so 28.8, 41.6, 54.4 between.
    const Colors colours{16, 29, 42, 54, 80};
    for (int k = 0; k < 5; ++k) {
        QCOMPARE(second.calls[std::size_t(6 * k + 1)].c, colours[std::size_t(k)]);
    }
}

QTEST_APPLESS_MAIN(TestGradientRect)
#include "tst_gradientrect.moc"
