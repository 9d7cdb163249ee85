#include "ColourDraw.h"
#include "Module1.h"
#include "QBColor.h"
#include "TrackButton.h"

#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <array>

using namespace plovi;

namespace {

// Fifteen buttons on one parent, as the window holds them, with the given
// enabled flags ('1' on, '0' off).
struct Tracks
{
    explicit Tracks(const char *flags)
    {
        for (int i = 0; i < 15; ++i) {
            buttons[i] = new TrackButton(QString(), &parent);
            buttons[i]->setEnabled(flags[i] == '1');
        }
    }

    [[nodiscard]] QString flags() const
    {
        QString out;
        for (const TrackButton *b : buttons) {
            out += b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        }
        return out;
    }

    QWidget parent;
    std::array<TrackButton *, 15> buttons{};
};

} // namespace

class TestModule1 : public QObject
{
    Q_OBJECT
  private slots:
    void enableAllTracks();
    void lockToTrack_data();
    void lockToTrack();
    void finishPlayback();
    void paletteEntries_data();
    void paletteEntries();
    void drawCoversFourValues_data();
    void drawCoversFourValues();
    void defaultDrawIsUnseededAndInRange();
};

void TestModule1::enableAllTracks()
{
    Tracks tracks("010000000000010");
    Module1::EnableAllTracks(tracks.buttons);
    QCOMPARE(tracks.flags(), QString("111111111111111"));
}

void TestModule1::lockToTrack_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("after");
    QTest::newRow("first, all on") << "111111111111111" << 0 << "100000000000000";
    QTest::newRow("last, all on") << "111111111111111" << 14 << "000000000000001";
    QTest::newRow("a disabled slot is enabled") << "111100000000000" << 7 << "000000010000000";
    QTest::newRow("past the end") << "111111111111111" << 15 << "000000000000000";
    QTest::newRow("negative") << "111111111111111" << -1 << "000000000000000";
}

void TestModule1::lockToTrack()
{
    QFETCH(QString, before);
    QFETCH(int, index);
    QFETCH(QString, after);
    Tracks tracks(before.toLatin1().constData());
    Module1::LockToTrack(tracks.buttons, static_cast<int16_t>(index));
    QCOMPARE(tracks.flags(), after);
}

void TestModule1::finishPlayback()
{
    Tracks tracks("000100000000000");
    QTimer timer1;
    timer1.start(25);
    Module1::FinishPlayback(timer1, tracks.buttons);
    QVERIFY(!timer1.isActive());
    QCOMPARE(tracks.flags(), QString("111111111111111"));
}

void TestModule1::paletteEntries_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("bgr");
    QTest::newRow("9 light blue") << 9 << 0xFF0000;
    QTest::newRow("10 light green") << 10 << 0x00FF00;
    QTest::newRow("11 light cyan") << 11 << 0xFFFF00;
    QTest::newRow("12 light red") << 12 << 0x0000FF;
    QTest::newRow("13 light magenta") << 13 << 0xFF00FF;
    QTest::newRow("14 yellow") << 14 << 0x00FFFF;
    QTest::newRow("15 bright white") << 15 << 0xFFFFFF;
    QTest::newRow("out of range") << 16 << 0;
}

void TestModule1::paletteEntries()
{
    QFETCH(int, number);
    QFETCH(int, bgr);
    QCOMPARE(QBColor(static_cast<int16_t>(number)), bgr);
}

void TestModule1::drawCoversFourValues_data()
{
    QTest::addColumn<double>("u");
    QTest::addColumn<int>("r");
    QTest::newRow("0") << 0.0 << 14;
    QTest::newRow("just under a quarter") << 0.2499 << 14;
    QTest::newRow("a quarter") << 0.25 << 15;
    QTest::newRow("a half") << 0.5 << 16;
    QTest::newRow("three quarters") << 0.75 << 17;
    QTest::newRow("just under 1") << 0.999999 << 17;
    QTest::newRow("stray 1.0 stays in range") << 1.0 << 17;
    QTest::newRow("stray negative stays in range") << -0.1 << 14;
}

void TestModule1::drawCoversFourValues()
{
    QFETCH(double, u);
    QFETCH(int, r);
    ColourDraw draw([u] { return u; });
    QCOMPARE(draw.draw(), r);
}

void TestModule1::defaultDrawIsUnseededAndInRange()
{
    ColourDraw first;
    ColourDraw second;
    QList<int> seen(4, 0);
    for (int i = 0; i < 400; ++i) {
        const int r = first.draw();
        QVERIFY(r >= 14 && r <= 17);
        ++seen[r - 14];
        // Never seeded: two generators give the same sequence.
        QCOMPARE(second.draw(), r);
    }
    for (int count : seen) {
        QVERIFY2(count > 50, "each of the four draws comes up about a quarter of the time");
    }
}

QTEST_MAIN(TestModule1)
#include "tst_Module1.moc"
