#include "GradientRect.h"
#include "ImageDrawingContext.h"
#include "PictureBox.h"
#include "PopupFakes.h"

#include <QtTest>

#include <cstdlib>
#include <limits>
#include <random>
#include <set>
#include <vector>

using popup::ImageDrawingContext;
using popup::PictureBox;

namespace {

constexpr QRgb kBackground = 0xFF00FF00; // no ramp of these tests contains pure green

QRgb toRgb(std::int32_t colour)
{
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// Pixels of the line from `from` to `to`, end point left out: at step t along the
// longer axis the shorter one has moved round(t * minor / major), halves away from
// the start.
std::vector<QPoint> reference(QPoint from, QPoint to)
{
    std::vector<QPoint> out;
    const long long dx = to.x() - from.x();
    const long long dy = to.y() - from.y();
    const long long major = std::max(std::llabs(dx), std::llabs(dy));
    for (long long t = 0; t < major; ++t) {
        const auto along = [&](long long d) {
            const long long m = (2 * t * std::llabs(d) + major) / (2 * major);
            return d < 0 ? -m : m;
        };
        out.emplace_back(int(from.x() + along(dx)), int(from.y() + along(dy)));
    }
    return out;
}

} // namespace

class TestPopupDrawing : public QObject
{
    Q_OBJECT

  private slots:
    void lineLeavesOutEndPoint_data();
    void lineLeavesOutEndPoint();
    void farLinesAreClippedExactly();
    void randomLinesMatchReference();
    void pensAreTracked();
    void columnsAndRowsOfSmallAreas_data();
    void columnsAndRowsOfSmallAreas();
    void angledFillCoversEveryPixelOnce_data();
    void angledFillCoversEveryPixelOnce();
    void pictureBoxIsADrawTarget();
};

void TestPopupDrawing::lineLeavesOutEndPoint_data()
{
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::newRow("right") << QPoint(1, 1) << QPoint(5, 1);
    QTest::newRow("left") << QPoint(6, 2) << QPoint(0, 2);
    QTest::newRow("down") << QPoint(3, 0) << QPoint(3, 7);
    QTest::newRow("up") << QPoint(3, 7) << QPoint(3, 0);
    QTest::newRow("diagonal") << QPoint(0, 0) << QPoint(4, 4);
    QTest::newRow("shallow") << QPoint(0, 1) << QPoint(9, 4);
    QTest::newRow("steep back") << QPoint(8, 8) << QPoint(5, 0);
    QTest::newRow("zero length") << QPoint(2, 2) << QPoint(2, 2);
}

void TestPopupDrawing::lineLeavesOutEndPoint()
{
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);

    QImage image(10, 9, QImage::Format_RGB32);
    image.fill(kBackground);
    ImageDrawingContext dc(image);
    const auto pen = dc.createPen(0, 1, 0x00FF0000); // blue
    QVERIFY(pen != 0);
    QCOMPARE(dc.selectObject(pen), ImageDrawingContext::kDefaultPen);
    QVERIFY(dc.moveTo(from.x(), from.y(), nullptr));
    QVERIFY(dc.lineTo(to.x(), to.y()));
    QCOMPARE(dc.currentPosition(), (PixelPoint{to.x(), to.y()}));

    const std::vector<QPoint> expected = reference(from, to);
    const std::set<std::pair<int, int>> lit = [&] {
        std::set<std::pair<int, int>> s;
        for (const QPoint &p : expected) {
            s.insert({p.x(), p.y()});
        }
        return s;
    }();
    QVERIFY(!lit.count({to.x(), to.y()}));
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb want = lit.count({x, y}) ? qRgb(0, 0, 255) : kBackground;
            QVERIFY2(image.pixel(x, y) == want, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
        }
    }
}

void TestPopupDrawing::farLinesAreClippedExactly()
{
    // Lines reaching far outside the image light exactly the pixels they would on
    // an image large enough to hold them.
    const QPoint ends[][2] = {
        {{-100000, -37}, {100000, 61}},
        {{25, -300001}, {-17, 299999}},
        {{std::numeric_limits<int>::min(), 3}, {std::numeric_limits<int>::max(), 5}},
        {{-3, 40}, {60, -23}}};
    for (const auto &line : ends) {
        QImage image(23, 17, QImage::Format_RGB32);
        image.fill(kBackground);
        ImageDrawingContext dc(image);
        const auto pen = dc.createPen(0, 1, 0x000000FF);
        (void)dc.selectObject(pen);
        dc.moveTo(line[0].x(), line[0].y(), nullptr);
        dc.lineTo(line[1].x(), line[1].y());

        QImage expected(23, 17, QImage::Format_RGB32);
        expected.fill(kBackground);
        const long long span = std::max(std::llabs((long long)line[1].x() - line[0].x()),
                                        std::llabs((long long)line[1].y() - line[0].y()));
        if (span < 1'000'000) {
            for (const QPoint &p : reference(line[0], line[1])) {
                if (expected.rect().contains(p)) {
                    expected.setPixel(p, qRgb(255, 0, 0));
                }
            }
        } else {
            // Horizontal run from x = min.. : y moves by at most 2 over the width.
            for (int x = 0; x < 23; ++x) {
                expected.setPixel(x, 4, qRgb(255, 0, 0));
            }
        }
        QCOMPARE(image, expected);
    }
}

void TestPopupDrawing::randomLinesMatchReference()
{
    std::mt19937 random; // fixed sequence: the same lines every run
    std::uniform_int_distribution<int> coordinate(-40, 60);
    for (int i = 0; i < 3000; ++i) {
        const QPoint from(coordinate(random), coordinate(random));
        const QPoint to(coordinate(random), coordinate(random));
        QImage image(23, 17, QImage::Format_RGB32);
        image.fill(kBackground);
        ImageDrawingContext dc(image);
        (void)dc.selectObject(dc.createPen(0, 1, 0x00000000));
        dc.moveTo(from.x(), from.y(), nullptr);
        dc.lineTo(to.x(), to.y());
        QImage expected(23, 17, QImage::Format_RGB32);
        expected.fill(kBackground);
        for (const QPoint &p : reference(from, to)) {
            if (expected.rect().contains(p)) {
                expected.setPixel(p, qRgb(0, 0, 0));
            }
        }
        QVERIFY2(image == expected, qPrintable(QStringLiteral("(%1,%2)-(%3,%4)")
                                                   .arg(from.x())
                                                   .arg(from.y())
                                                   .arg(to.x())
                                                   .arg(to.y())));
    }
}

void TestPopupDrawing::pensAreTracked()
{
    QImage image(4, 4, QImage::Format_RGB32);
    ImageDrawingContext dc(image);
    QCOMPARE(dc.createPen(1, 1, 0), 0);  // dashed pens are not offered
    QCOMPARE(dc.createPen(0, 3, 0), 0);  // nor wide ones
    QCOMPARE(dc.selectObject(12345), 0); // unknown handle
    const auto pen = dc.createPen(0, 1, 0x123456);
    QCOMPARE(dc.livePenCount(), 1);
    const auto displaced = dc.selectObject(pen);
    QVERIFY(!dc.deleteObject(pen)); // still selected
    QCOMPARE(dc.selectObject(displaced), pen);
    QVERIFY(dc.deleteObject(pen));
    QVERIFY(!dc.deleteObject(pen));
    QVERIFY(!dc.deleteObject(ImageDrawingContext::kDefaultPen));
    QCOMPARE(dc.livePenCount(), 0);
}

void TestPopupDrawing::columnsAndRowsOfSmallAreas_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("angle");
    QTest::addColumn<int>("rampSize");
    QTest::addColumn<bool>("columns");        // uniform columns, else uniform rows
    QTest::addColumn<QList<int>>("elements"); // ramp element of each column or row

    // 4x3 at 0: lines x = 0..5 in elements 0..5 of six; columns 0..3 visible.
    QTest::newRow("4x3 at 0") << 4 << 3 << 0.0f << 6 << true << QList<int>{0, 1, 2, 3};
    // At 90 line k is row 3 - k; rows 0..2 are lines 3, 2, 1.
    QTest::newRow("4x3 at 90") << 4 << 3 << 90.0f << 5 << false << QList<int>{3, 2, 1};
    // At 180 line k is column 4 - k.
    QTest::newRow("4x3 at 180") << 4 << 3 << 180.0f << 6 << true << QList<int>{4, 3, 2, 1};
    // At 270 line k is row k.
    QTest::newRow("4x3 at 270") << 4 << 3 << 270.0f << 5 << false << QList<int>{0, 1, 2};
}

void TestPopupDrawing::columnsAndRowsOfSmallAreas()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, angle);
    QFETCH(int, rampSize);
    QFETCH(bool, columns);
    QFETCH(QList<int>, elements);

    const std::int32_t c1 = 0x00FFFFFF;
    const std::int32_t c2 = 0x00FFFF80; // RGB(128,255,255)
    std::vector<std::int32_t> ramp;
    GradientRect::BlendColors(c1, c2, rampSize, ramp);

    PictureBox box;
    box.resize(width, height);
    box.clearImage(0x0000FF00);
    FakeFailures reporter;
    GradientRect g(reporter, {});
    g.setAngle(angle);
    g.setColor1(c1);
    g.setColor2(c2);
    QVERIFY(g.Draw(box.drawTarget()));

    const QImage &image = box.image();
    QCOMPARE(image.size(), QSize(width, height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int element = elements[columns ? x : y];
            QVERIFY2(image.pixel(x, y) == toRgb(ramp[std::size_t(element)]),
                     qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
    }
}

void TestPopupDrawing::angledFillCoversEveryPixelOnce_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("angle");
    QTest::newRow("10x6 at 240") << 10 << 6 << 240.0f;
    QTest::newRow("alert 111x127 at 240") << 111 << 127 << 240.0f;
    QTest::newRow("37x23 at 315") << 37 << 23 << 315.0f;
    QTest::newRow("37x23 at 30") << 37 << 23 << 30.0f;
    QTest::newRow("37x23 at 135") << 37 << 23 << 135.0f;
    QTest::newRow("23x37 at 45") << 23 << 37 << 45.0f;
}

void TestPopupDrawing::angledFillCoversEveryPixelOnce()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, angle);

    // Each line is drawn in its own unique colour; every pixel then must show the
    // line that the reference raster puts there, and no pixel may stay unpainted.
    std::vector<PixelPoint> points;
    QCOMPARE(gradient::BuildSweepPoints(width, height, angle, points),
             gradient::GradientError::None);
    QImage expected(width, height, QImage::Format_RGB32);
    expected.fill(kBackground);
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(kBackground);
    ImageDrawingContext dc(image);
    for (std::size_t i = 0; i + 1 < points.size(); i += 2) {
        const std::int32_t colour = std::int32_t(i / 2 + 1) * 0x010305;
        dc.moveTo(points[i].x, points[i].y, nullptr);
        const auto pen = dc.createPen(0, 1, colour);
        const auto old = dc.selectObject(pen);
        dc.lineTo(points[i + 1].x, points[i + 1].y);
        (void)dc.selectObject(old);
        dc.deleteObject(pen);
        for (const QPoint &p :
             reference({points[i].x, points[i].y}, {points[i + 1].x, points[i + 1].y})) {
            if (expected.rect().contains(p)) {
                QVERIFY2(expected.pixel(p) == kBackground, "reference lines overlap");
                expected.setPixel(p, toRgb(colour));
            }
        }
    }
    QCOMPARE(image, expected);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            QVERIFY(image.pixel(x, y) != kBackground);
        }
    }
}

void TestPopupDrawing::pictureBoxIsADrawTarget()
{
    QWidget parent;
    auto *box = new PictureBox(&parent);
    box->setObjectName(QStringLiteral("弹出信息"));
    box->setGeometry(-2, 0, 111, 127); // hidden: no resize event has arrived yet
    QCOMPARE(parent.findChild<PictureBox *>(QStringLiteral("弹出信息")), box);

    FakeFailures reporter;
    GradientRect g(reporter, {});
    g.setAngle(240.0f);
    g.setColor1(0x00FFFFFF);
    g.setColor2(0x00FFFF80);
    QVERIFY(g.Draw(box->drawTarget()));
    QVERIFY(reporter.reports.empty());
    QVERIFY(box->updatesEnabled());

    const QImage &image = box->image();
    QCOMPARE(image.size(), QSize(111, 127));
    // 240 degrees: Color1 towards the top right, the light cyan towards the bottom left.
    QVERIFY(qRed(image.pixel(110, 0)) >= 0xF0);
    QVERIFY(qRed(image.pixel(0, 126)) < 140);
    QCOMPARE(qGreen(image.pixel(0, 126)), 255);

    // Growing keeps what was drawn.
    box->resize(120, 130);
    QCOMPARE(box->image().size(), QSize(120, 130));
    QCOMPARE(box->image().pixel(110, 0), image.pixel(110, 0));

    ClientRect rect;
    QVERIFY(box->clientRect(rect));
    QCOMPARE(rect.right, 120);
    QCOMPARE(rect.bottom, 130);
}

QTEST_MAIN(TestPopupDrawing)
#include "tst_popup_drawing.moc"
