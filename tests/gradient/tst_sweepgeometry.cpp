#include <QtTest>

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

// The sweep's termination rule applied literally to the first two points.
qsizetype literalCount(const Points &p, int width, int height)
{
    const int sx = p[2].x - p[0].x;
    const int sy = p[2].y - p[0].y;
    std::vector<PixelPoint> q{p[0], p[1]};
    for (;;) {
        const PixelPoint &before = q[q.size() - 2];
        q.push_back({before.x + sx, before.y + sy});
        const PixelPoint &a = q[q.size() - 1];
        const PixelPoint &b = q[q.size() - 2];
        bool done = false;
        if (sx > 0) {
            done = a.x > width && b.x > width;
        } else if (sx < 0) {
            done = a.x < 0 && b.x < 0;
        } else if (sy > 0) {
            done = a.y > height && b.y > height;
        } else {
            done = a.y < 0 && b.y < 0;
        }
        if (done) {
            return qsizetype(q.size());
        }
    }
}

} // namespace

class TestSweepGeometry : public QObject
{
    Q_OBJECT

  private slots:
    void workedExamples_data();
    void workedExamples();
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
    QCOMPARE(qsizetype(points.size()), literalCount(points, width, height));
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
