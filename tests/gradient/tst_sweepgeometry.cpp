#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "SweepGeometry.h"

using Points = std::vector<PixelPoint>;
Q_DECLARE_METATYPE(Points)
Q_DECLARE_METATYPE(gradient::GradientError)

namespace {

// Lines k = 0 .. count-1 from (x0 + k*sx, y0 + k*sy) to (x1 + k*sx, y1 + k*sy).
Points lines(int count, PixelPoint from, PixelPoint to, int sx, int sy)
{
    Points p;
    for (int k = 0; k < count; ++k) {
        p.push_back({from.x + k * sx, from.y + k * sy});
        p.push_back({to.x + k * sx, to.y + k * sy});
    }
    return p;
}

QString describe(const Points &p)
{
    QStringList parts;
    for (const PixelPoint &q : p) {
        parts << QStringLiteral("(%1,%2)").arg(q.x).arg(q.y);
    }
    return parts.join(' ');
}

// `count` points of a sweep whose line 0 runs from `first` to `second`, each line
// `step` on from the line before.
Points sweep(QPoint first, QPoint second, QPoint step, int count)
{
    Points p;
    for (int i = 0; i < count; ++i) {
        const QPoint end = i % 2 == 0 ? first : second;
        const int k = i / 2;
        p.push_back({end.x() + k * step.x(), end.y() + k * step.y()});
    }
    return p;
}

} // namespace

class TestSweepGeometry : public QObject
{
    Q_OBJECT

  private slots:
    void workedExamples_data();
    void workedExamples();
    void handWorkedSweeps_data();
    void handWorkedSweeps();
    void shapeOfAnyList_data();
    void shapeOfAnyList();
    void undirectedAnglesCountAsDefault_data();
    void undirectedAnglesCountAsDefault();
    void stored360TakesLastRow();
    void failures_data();
    void failures();
    void rotatePointTurnsAnticlockwise();
    void safeDivide_data();
    void safeDivide();
};

void TestSweepGeometry::workedExamples_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("angle");
    QTest::addColumn<Points>("expected");

    QTest::newRow("4x3 at 0") << 4 << 3 << 0.0f << lines(6, {0, 5}, {0, -3}, 1, 0);
    QTest::newRow("4x3 at 30") << 4 << 3 << 30.0f << lines(10, {0, 4}, {-4, -2}, 1, 0);
    QTest::newRow("4x3 at 90") << 4 << 3 << 90.0f << lines(5, {6, 3}, {-2, 3}, 0, -1);
    QTest::newRow("4x3 at 180") << 4 << 3 << 180.0f << lines(6, {4, -3}, {4, 5}, -1, 0);
    QTest::newRow("4x3 at 270") << 4 << 3 << 270.0f << lines(5, {-2, 0}, {6, 0}, 0, 1);
    Points at240 = lines(15, {-2, -8}, {12, 0}, 0, 1);
    at240.push_back({-2, 7});
    QTest::newRow("10x6 at 240, odd count") << 10 << 6 << 240.0f << at240;
}

void TestSweepGeometry::workedExamples()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, angle);
    QFETCH(Points, expected);

    Points points{{99, 99}};
    QCOMPARE(gradient::BuildSweepPoints(width, height, angle, points),
             gradient::GradientError::None);
    QCOMPARE(describe(points), describe(expected));
}

void TestSweepGeometry::handWorkedSweeps_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("angle");
    QTest::addColumn<QPoint>("first");
    QTest::addColumn<QPoint>("second");
    QTest::addColumn<QPoint>("step");
    QTest::addColumn<int>("count");

    // Worked by hand from the geometry. For a W x H area at angle a: c = (W/2, H/2)
    // rounded down, r = max(W, H) / sqrt(2) + 1, and the line across the gradient
    // runs from e0 = c + r (sin a, cos a) to e1 = c - r (sin a, cos a). Steep lines
    // (|sin a| <= |cos a|) move along x: rightwards, line 0 shifted to end on x = 0,
    // for a in [0, 90] and [270, 360]; leftwards from x = W otherwise. Flat lines move
    // along y: upwards from y = H for a in [0, 180], downwards from y = 0 otherwise.
    // Ends round to the nearest pixel, ties to even. The list stops at the first
    // point that, with the point before it, lies beyond the far edge.
    // Each comment: e0, e1 -> the shift -> the rounded ends of line 0.
    const QPoint right(1, 0);
    const QPoint left(-1, 0);
    const QPoint up(0, -1);
    const QPoint down(0, 1);

    // 5x3: c = (2, 1), r = 4.54.
    // (2, 5.54), (2, -3.54) -> x - 2.
    QTest::newRow("5x3 at 0") << 5 << 3 << 0.0f << QPoint(0, 6) << QPoint(0, -4) << right << 14;
    // (3.55, 5.26), (0.45, -3.26) -> x - 3.55 -> (0, 5.26), (-3.10, -3.26).
    QTest::newRow("5x3 at 20") << 5 << 3 << 20.0f << QPoint(0, 5) << QPoint(-3, -3) << right << 20;
    // (5.21, 4.21), (-1.21, -2.21); the spans come out equal to the last float bit
    // (the 135-degree turn in float radians errs by less than that); equal is steep
    // -> x - 5.21 -> (0, 4.21), (-6.41, -2.21).
    QTest::newRow("5x3 at 45") << 5 << 3 << 45.0f << QPoint(0, 4) << QPoint(-6, -2) << right << 26;
    // (5.93, 3.27), (-1.93, -1.27) -> y + 4.27 -> (5.93, 7.54), (-1.93, 3).
    QTest::newRow("5x3 at 60") << 5 << 3 << 60.0f << QPoint(6, 8) << QPoint(-2, 3) << up << 19;
    // (6.54, 1), (-2.54, 1) -> y + 2.
    QTest::newRow("5x3 at 90") << 5 << 3 << 90.0f << QPoint(7, 3) << QPoint(-3, 3) << up << 10;
    // (6.26, -0.55), (-2.26, 2.55) -> y + 3.55 -> (6.26, 3), (-2.26, 6.10).
    QTest::newRow("5x3 at 110") << 5 << 3 << 110.0f << QPoint(6, 3) << QPoint(-2, 6) << up << 16;
    // (5.21, -2.21), (-1.21, 4.21); 225 degrees in float radians falls just short of
    // 5 pi / 4, so the line leans a hair towards flat -> y + 5.21 -> (5.21, 3),
    // (-1.21, 9.41).
    QTest::newRow("5x3 at 135") << 5 << 3 << 135.0f << QPoint(5, 3) << QPoint(-1, 9) << up << 22;
    // (4.27, -2.93), (-0.27, 4.93) -> x + 5.27 -> (9.54, -2.93), (5, 4.93).
    QTest::newRow("5x3 at 150") << 5 << 3 << 150.0f << QPoint(10, -3) << QPoint(5, 5) << left << 23;
    // (2, -3.54), (2, 5.54) -> x + 3.
    QTest::newRow("5x3 at 180") << 5 << 3 << 180.0f << QPoint(5, -4) << QPoint(5, 6) << left << 14;
    // (0.45, -3.26), (3.55, 5.26) -> x + 4.55 -> (5, -3.26), (8.10, 5.26).
    QTest::newRow("5x3 at 200") << 5 << 3 << 200.0f << QPoint(5, -3) << QPoint(8, 5) << left << 20;
    // (-1.21, -2.21), (5.21, 4.21); 315 degrees in float radians falls just short of
    // 7 pi / 4, so the line leans a hair towards steep -> x + 6.21 -> (5, -2.21),
    // (11.41, 4.21).
    QTest::newRow("5x3 at 225") << 5 << 3 << 225.0f << QPoint(5, -2) << QPoint(11, 4) << left << 26;
    // (-2.26, -0.55), (6.26, 2.55) -> y - 2.55 -> (-2.26, -3.10), (6.26, 0).
    QTest::newRow("5x3 at 250") << 5 << 3 << 250.0f << QPoint(-2, -3) << QPoint(6, 0) << down << 15;
    // (-2.54, 1), (6.54, 1) -> y - 1.
    QTest::newRow("5x3 at 270") << 5 << 3 << 270.0f << QPoint(-3, 0) << QPoint(7, 0) << down << 10;
    // (-1.93, 3.27), (5.93, -1.27) -> y - 3.27 -> (-1.93, 0), (5.93, -4.54).
    QTest::newRow("5x3 at 300") << 5 << 3 << 300.0f << QPoint(-2, 0) << QPoint(6, -5) << down << 20;
    // (-1.21, 4.21), (5.21, -2.21); 45 degrees in float radians lies just past pi / 4,
    // a hair towards steep -> x - 5.21 -> (-6.41, 4.21), (0, -2.21).
    QTest::newRow("5x3 at 315") << 5 << 3 << 315.0f << QPoint(-6, 4) << QPoint(0, -2) << right
                                << 25;
    // (0.45, 5.26), (3.55, -3.26) -> x - 3.55 -> (-3.10, 5.26), (0, -3.26).
    QTest::newRow("5x3 at 340") << 5 << 3 << 340.0f << QPoint(-3, 5) << QPoint(0, -3) << right
                                << 19;

    // 3x5: c = (1, 2), r = 4.54.
    // (3.27, 5.93), (-1.27, -1.93) -> x - 3.27 -> (0, 5.93), (-4.54, -1.93).
    QTest::newRow("3x5 at 30") << 3 << 5 << 30.0f << QPoint(0, 6) << QPoint(-5, -2) << right << 20;
    // (2.55, -2.26), (-0.55, 6.26) -> x + 3.55 -> (6.10, -2.26), (3, 6.26).
    QTest::newRow("3x5 at 160") << 3 << 5 << 160.0f << QPoint(6, -2) << QPoint(3, 6) << left << 15;
    // (-1.27, -1.93), (3.27, 5.93) -> x + 4.27 -> (3, -1.93), (7.54, 5.93).
    QTest::newRow("3x5 at 210") << 3 << 5 << 210.0f << QPoint(3, -2) << QPoint(8, 6) << left << 20;
    // (-1.27, 5.93), (3.27, -1.93) -> x - 3.27 -> (-4.54, 5.93), (0, -1.93).
    QTest::newRow("3x5 at 330") << 3 << 5 << 330.0f << QPoint(-5, 6) << QPoint(0, -2) << right
                                << 19;

    // 2x2: c = (1, 1), r = 2.41; at both angles the spans come out equal, so steep.
    // (2.71, 2.71), (-0.71, -0.71) -> x - 2.71 -> (0, 2.71), (-3.41, -0.71).
    QTest::newRow("2x2 at 45") << 2 << 2 << 45.0f << QPoint(0, 3) << QPoint(-3, -1) << right << 14;
    // (-0.71, 2.71), (2.71, -0.71) -> x - 2.71 -> (-3.41, 2.71), (0, -0.71).
    QTest::newRow("2x2 at 315") << 2 << 2 << 315.0f << QPoint(-3, 3) << QPoint(0, -1) << right
                                << 13;

    // Ends on exact halves: at 270 the line is not turned at all, and r lies in
    // [2^22, 2^23), where floats are 0.5 apart. y - 1 puts both ends on y = 0.
    // 6000004 / sqrt(2) + 1 = 4242644.52, stored as 4242644.5; c.x = 3000002:
    // ends -1242642.5 and 7242646.5 go to the even neighbour towards zero.
    QTest::newRow("ties towards zero")
        << 6000004 << 2 << 270.0f << QPoint(-1242642, 0) << QPoint(7242646, 0) << down << 8;
    // 6000000 / sqrt(2) + 1 = 4242641.69, stored as 4242641.5; c.x = 3000000:
    // ends -1242641.5 and 7242641.5 go to the even neighbour away from zero.
    QTest::newRow("ties away from zero")
        << 6000000 << 2 << 270.0f << QPoint(-1242642, 0) << QPoint(7242642, 0) << down << 8;
}

void TestSweepGeometry::handWorkedSweeps()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, angle);
    QFETCH(QPoint, first);
    QFETCH(QPoint, second);
    QFETCH(QPoint, step);
    QFETCH(int, count);

    Points points;
    QCOMPARE(gradient::BuildSweepPoints(width, height, angle, points),
             gradient::GradientError::None);
    QCOMPARE(describe(points), describe(sweep(first, second, step, count)));
}

void TestSweepGeometry::shapeOfAnyList_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("angle");

    const int sizes[] = {-7, -1, 0, 1, 2, 3, 10, 111, 127};
    const float angles[] = {0.0f,   44.999f, 45.0f,  90.0f,   135.0f, 180.0f, 225.0f,
                            240.0f, 270.0f,  315.0f, 359.99f, 360.0f, -30.0f, 1e20f};
    for (int w : sizes) {
        for (int h : sizes) {
            for (float a : angles) {
                QTest::addRow("%dx%d at %g", w, h, double(a)) << w << h << a;
            }
        }
    }
    std::mt19937 random; // fixed sequence: the same cases every run
    std::uniform_int_distribution<int> size(2, 2000);
    std::uniform_real_distribution<float> angle(0.0f, 360.0f);
    for (int i = 0; i < 200; ++i) {
        const int w = size(random);
        const int h = size(random);
        const float a = angle(random);
        QTest::addRow("random %dx%d at %g", w, h, double(a)) << w << h << a;
    }
}

void TestSweepGeometry::shapeOfAnyList()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, angle);

    Points points;
    QCOMPARE(gradient::BuildSweepPoints(width, height, angle, points),
             gradient::GradientError::None);
    QVERIFY(points.size() >= 3);
    const int sx = points[2].x - points[0].x;
    const int sy = points[2].y - points[0].y;
    QCOMPARE(std::abs(sx) + std::abs(sy), 1);
    for (std::size_t i = 2; i < points.size(); ++i) {
        QCOMPARE(points[i].x, points[i - 2].x + sx);
        QCOMPARE(points[i].y, points[i - 2].y + sy);
    }

    // Line 0 lies outside the start edge and touches it.
    const PixelPoint &a = points[0];
    const PixelPoint &b = points[1];
    if (sx > 0) {
        QCOMPARE(std::max(a.x, b.x), 0);
    } else if (sx < 0) {
        QCOMPARE(std::min(a.x, b.x), width);
    } else if (sy > 0) {
        QCOMPARE(std::max(a.y, b.y), 0);
    } else {
        QCOMPARE(std::min(a.y, b.y), height);
    }

    // The list ends with the first pair of neighbours wholly beyond the far edge;
    // line 0 is never such a pair's second point.
    const auto beyond = [&](const PixelPoint &p) {
        if (sx != 0) {
            return sx > 0 ? p.x > width : p.x < 0;
        }
        return sy > 0 ? p.y > height : p.y < 0;
    };
    const std::size_t n = points.size();
    QVERIFY(beyond(points[n - 1]) && beyond(points[n - 2]));
    for (std::size_t i = 2; i + 1 < n; ++i) {
        QVERIFY2(!(beyond(points[i]) && beyond(points[i - 1])), qPrintable(QString::number(i)));
    }
}

void TestSweepGeometry::undirectedAnglesCountAsDefault_data()
{
    QTest::addColumn<float>("angle");
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN();
    QTest::newRow("+inf") << std::numeric_limits<float>::infinity();
    QTest::newRow("-inf") << -std::numeric_limits<float>::infinity();
}

void TestSweepGeometry::undirectedAnglesCountAsDefault()
{
    QFETCH(float, angle);
    Points expected;
    QCOMPARE(gradient::BuildSweepPoints(111, 127, 315.0f, expected), gradient::GradientError::None);
    Points points;
    QCOMPARE(gradient::BuildSweepPoints(111, 127, angle, points), gradient::GradientError::None);
    QCOMPARE(describe(points), describe(expected));
}

void TestSweepGeometry::stored360TakesLastRow()
{
    // A flat line at 360 starts below its lowest end on the top edge and moves down;
    // the row for 0 to 90 would start at the bottom edge and move up.
    Points points;
    QCOMPARE(gradient::BuildSweepPoints(3, 12, 360.0f, points), gradient::GradientError::None);
    Points zero;
    QCOMPARE(gradient::BuildSweepPoints(3, 12, 0.0f, zero), gradient::GradientError::None);
    QCOMPARE(describe(points), describe(zero)); // a quarter turn of 450 is one of 90
    // At 90 the same 3x12 area is swept by flat lines from the bottom: step (0, -1).
    Points ninety;
    QCOMPARE(gradient::BuildSweepPoints(12, 3, 90.0f, ninety), gradient::GradientError::None);
    QCOMPARE(ninety[2].y - ninety[0].y, -1);
}

void TestSweepGeometry::failures_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("angle");
    QTest::addColumn<gradient::GradientError>("error");

    constexpr int big = std::numeric_limits<int>::max();
    constexpr int small = std::numeric_limits<int>::min();
    QTest::newRow("largest area") << big << big << 315.0f << gradient::GradientError::Overflow;
    QTest::newRow("most negative area")
        << small << small << 0.0f << gradient::GradientError::Overflow;
    QTest::newRow("list too long to hold")
        << 300'000'000 << 2 << 315.0f << gradient::GradientError::OutOfMemory;
    QTest::newRow("tall sliver swept along its length")
        << 5 << small << 90.0f << gradient::GradientError::OutOfMemory;
}

void TestSweepGeometry::failures()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, angle);
    QFETCH(gradient::GradientError, error);

    Points points{{1, 1}};
    QCOMPARE(gradient::BuildSweepPoints(width, height, angle, points), error);
    QVERIFY(points.empty());
    QVERIFY(std::string(gradient::errorText(error)).size() > 0);
}

void TestSweepGeometry::rotatePointTurnsAnticlockwise()
{
    const FloatPoint centre{10.0f, 10.0f};
    FloatPoint point{20.0f, 10.0f};
    const float quarter = 90.0f;
    gradient::detail::RotatePoint(centre, point, quarter);
    QVERIFY(std::fabs(point.x - 10.0f) < 1e-5f);
    QCOMPARE(point.y, 0.0f); // up the screen
    QCOMPARE(centre.x, 10.0f);
}

void TestSweepGeometry::safeDivide_data()
{
    QTest::addColumn<double>("numerator");
    QTest::addColumn<double>("denominator");
    QTest::addColumn<double>("expected");
    QTest::newRow("zero") << 5.0 << 0.0 << 0.0;
    QTest::newRow("negative zero") << 5.0 << -0.0 << 0.0;
    QTest::newRow("ordinary") << 255.0 << 4.0 << 63.75;
    QTest::newRow("tiny") << 1.0 << 1e-300 << 1e300;
}

void TestSweepGeometry::safeDivide()
{
    QFETCH(double, numerator);
    QFETCH(double, denominator);
    QFETCH(double, expected);
    QCOMPARE(gradient::detail::SafeDivide(numerator, denominator), expected);
}

QTEST_APPLESS_MAIN(TestSweepGeometry)
#include "tst_sweepgeometry.moc"
