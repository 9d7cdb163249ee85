#include "AlertWindow.h"
#include "HollowLabel.h"
#include "LinkLabel.h"
#include "NobixVariant.h"
#include "PopupFakes.h"
#include "TarvelVariant.h"

#include "AppPaths.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <optional>

using popup::AlertVariant;
using popup::AlertWindow;
using popup::LinkLabel;
using popup::NobixVariant;
using popup::TarvelVariant;

namespace {

const NobixVariant g_nobix;
const TarvelVariant g_tarvel;

const AlertVariant &variantNamed(const QString &name)
{
    return name == QLatin1String("Nobix") ? static_cast<const AlertVariant &>(g_nobix)
                                          : static_cast<const AlertVariant &>(g_tarvel);
}

// An alert that is opening, as the user finds it.
struct LabelRig
{
    explicit LabelRig(const AlertVariant &variant)
    {
        form = std::make_unique<AlertWindow>(fakes.services(), variant, &startWindow);
        form->DisplayAlert(QString(), 3000);
        for (int i = 0; i < 10; ++i) {
            form->tmrOpen_Timer();
        }
    }

    [[nodiscard]] QLabel *label(const QString &name) const
    {
        return form->findChild<QLabel *>(name);
    }

    // What a label must not change: the timers and the geometry.
    [[nodiscard]] QString timerState() const
    {
        QString state;
        for (const char *name : {"tmrOpen", "tmrAlert", "tmrClose"}) {
            const QTimer *t = form->findChild<QTimer *>(QLatin1String(name));
            state += QStringLiteral("%1:%2:%3 ").arg(name).arg(t->isActive()).arg(t->interval());
        }
        return state + QStringLiteral("%1,%2,%3,%4")
                           .arg(form->Left())
                           .arg(form->Top())
                           .arg(form->Width())
                           .arg(form->Height());
    }

    PopupFakes fakes;
    QWidget startWindow;
    std::unique_ptr<AlertWindow> form;
};

void send(QWidget *target, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
          QPoint at = QPoint(3, 3))
{
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

void moveOver(QWidget *target)
{
    send(target, QEvent::MouseMove, Qt::NoButton, Qt::NoButton);
}

void press(QWidget *target, Qt::MouseButton button)
{
    send(target, QEvent::MouseButtonPress, button, button);
}

void release(QWidget *target, Qt::MouseButton button, QPoint at = QPoint(3, 3))
{
    send(target, QEvent::MouseButtonRelease, button, Qt::NoButton, at);
}

} // namespace

class TestPopupLabels : public QObject
{
    Q_OBJECT

  private slots:
    void init() { AlertWindow::setAlertCount(0); }

    void labelLayout_data();
    void labelLayout();
    void hoverStyleIsOneWay_data();
    void hoverStyleIsOneWay();
    void headingNeverChanges();
    void headingIsDrawnHollow();
    void headingOutlineIsBuiltOnce();
    void hoverUnderlinesTheWholeText_data();
    void hoverUnderlinesTheWholeText();
    void nobixOpensMailOnAnyButtonPress_data();
    void nobixOpensMailOnAnyButtonPress();
    void nobixDoubleClickOpensOnce();
    void tarvelOpensPageOnClick_data();
    void tarvelOpensPageOnClick();
    void tarvelIgnoresPressWithoutClick();
    void animationTakesPointerWhereItOverlapsLabel();
};

void TestPopupLabels::labelLayout_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("position"); // pixels at 15 twips per pixel
    QTest::addColumn<QColor>("colour");   // invalid: the default text colour
    QTest::addColumn<double>("pointSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("link");

    // Positions in pixels at 15 twips per pixel, worked by hand from the
    // labels' twips: 450,810 / 330,600 / 240,1080 / 330,1500.
    QTest::newRow("Nobix Label1") << "Nobix"
                                  << "Label1" << QStringLiteral("邮件联系") << QPoint(30, 54)
                                  << QColor() << 9.0 << false << true;
    QTest::newRow("Tarvel Label1") << "Tarvel"
                                   << "Label1" << QStringLiteral("软件信息") << QPoint(22, 40)
                                   << QColor(255, 0, 255) << 10.5 << false << false;
    QTest::newRow("Tarvel Label2") << "Tarvel"
                                   << "Label2" << TarvelVariant::program1Name() << QPoint(16, 72)
                                   << QColor(255, 192, 128) << 9.0 << true << true;
    QTest::newRow("Tarvel Label3") << "Tarvel"
                                   << "Label3" << TarvelVariant::program2Name() << QPoint(22, 100)
                                   << QColor(255, 192, 128) << 9.0 << true << true;
}

void TestPopupLabels::labelLayout()
{
    QFETCH(QString, variant);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QPoint, position);
    QFETCH(QColor, colour);
    QFETCH(double, pointSize);
    QFETCH(bool, bold);
    QFETCH(bool, link);

    LabelRig rig(variantNamed(variant));
    QLabel *label = rig.label(name);
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), caption);
    QCOMPARE(label->pos(), position);
    QCOMPARE(label->parentWidget()->objectName(), QStringLiteral("弹出信息"));
    // Sized to fit the text.
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(caption));
    QVERIFY(label->height() >= label->fontMetrics().height());
    QCOMPARE(label->font().pointSizeF(), pointSize);
    QCOMPARE(label->font().bold(), bold);
    QVERIFY(!label->font().underline());
    QVERIFY(!label->autoFillBackground());
    if (colour.isValid()) {
        QCOMPARE(label->palette().color(QPalette::WindowText), colour);
    }
    QCOMPARE(qobject_cast<LinkLabel *>(label) != nullptr, link);
    QCOMPARE(rig.label(QStringLiteral("Label2")) != nullptr, variant == QLatin1String("Tarvel"));
}

void TestPopupLabels::hoverStyleIsOneWay_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("name");
    QTest::newRow("Nobix Label1") << "Nobix"
                                  << "Label1";
    QTest::newRow("Tarvel Label2") << "Tarvel"
                                   << "Label2";
    QTest::newRow("Tarvel Label3") << "Tarvel"
                                   << "Label3";
}

void TestPopupLabels::hoverStyleIsOneWay()
{
    QFETCH(QString, variant);
    QFETCH(QString, name);
    LabelRig rig(variantNamed(variant));
    QLabel *label = rig.label(name);
    const QFont before = label->font();
    const QString timers = rig.timerState();

    moveOver(label);
    QVERIFY(label->font().underline());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QCOMPARE(label->font().pointSizeF(), before.pointSizeF());
    QCOMPARE(label->font().bold(), before.bold());
    QCOMPARE(label->font().families(), before.families());

    // Leaving and coming back changes nothing.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(label, &leave);
    moveOver(label);
    QVERIFY(label->font().underline());
    QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(label->hasMouseTracking());
    QCOMPARE(rig.timerState(), timers);
    QVERIFY(rig.fakes.links.requests.isEmpty());
}

void TestPopupLabels::headingNeverChanges()
{
    LabelRig rig(g_tarvel);
    QLabel *heading = rig.label(QStringLiteral("Label1"));
    moveOver(heading);
    press(heading, Qt::LeftButton);
    release(heading, Qt::LeftButton);
    QVERIFY(!heading->font().underline());
    QCOMPARE(heading->palette().color(QPalette::WindowText), QColor(255, 0, 255));
    QVERIFY(rig.fakes.links.requests.isEmpty());
}

namespace {

// A label's own painting on a transparent image: no background, no parent.
QImage paintedAlone(QLabel *label)
{
    QImage image(label->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    label->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

// Areas of unpainted pixels (alpha below `ink`) that the painting encloses:
// not joined to the image's border through other unpainted pixels.
int enclosedAreas(const QImage &image, int ink)
{
    const int w = image.width();
    const int h = image.height();
    QList<int> area(w * h, -1); // -1 unvisited, 0 painted or reached, 1 enclosed
    auto blank = [&](int x, int y) { return qAlpha(image.pixel(x, y)) < ink; };
    int enclosed = 0;
    for (int start = 0; start < w * h; ++start) {
        if (area[start] != -1 || !blank(start % w, start / w)) {
            continue;
        }
        QList<int> todo{start};
        area[start] = 0;
        bool touchesBorder = false;
        while (!todo.isEmpty()) {
            const int at = todo.takeLast();
            const int x = at % w;
            const int y = at / w;
            touchesBorder = touchesBorder || x == 0 || y == 0 || x == w - 1 || y == h - 1;
            for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                const int nx = x + step.x();
                const int ny = y + step.y();
                if (nx >= 0 && ny >= 0 && nx < w && ny < h && area[ny * w + nx] == -1 &&
                    blank(nx, ny)) {
                    area[ny * w + nx] = 0;
                    todo << ny * w + nx;
                }
            }
        }
        enclosed += touchesBorder ? 0 : 1;
    }
    return enclosed;
}

} // namespace

// The heading asks for a hollow decorative face; no free font has one, so
// the heading draws the outlines of its characters. Drawn filled by an
// ordinary label the same four characters enclose only the few counters of
// their glyphs (口 in 信, 自 and 心 in 息); drawn hollow, nearly every stroke
// encloses an inside of its own.
void TestPopupLabels::headingIsDrawnHollow()
{
    LabelRig rig(g_tarvel);
    QLabel *heading = rig.label(QStringLiteral("Label1"));
    QCOMPARE(heading->text(), QStringLiteral("软件信息"));
    QCOMPARE(heading->pos(), QPoint(22, 40));

    QLabel filled(heading->text());
    filled.setFont(heading->font());
    filled.setPalette(heading->palette());
    filled.resize(heading->size());
    const QImage hollowImage = paintedAlone(heading);
    const QImage filledImage = paintedAlone(&filled);

    // In the heading's colour, RGB(255,0,255): the drawing's fully covered
    // pixels have it exactly, its edges are that colour, partly covering.
    int opaque = 0;
    for (int y = 0; y < hollowImage.height(); ++y) {
        for (int x = 0; x < hollowImage.width(); ++x) {
            const QRgb p = hollowImage.pixel(x, y);
            if (qAlpha(p) == 255) {
                ++opaque;
                QCOMPARE(QColor(p), QColor(255, 0, 255));
            } else if (qAlpha(p) > 64) {
                QVERIFY2(qRed(p) >= 250 && qGreen(p) <= 5 && qBlue(p) >= 250,
                         qPrintable(QColor(p).name()));
            }
        }
    }
    QVERIFY(opaque > 50);

    const int hollow = enclosedAreas(hollowImage, 128);
    const int solid = enclosedAreas(filledImage, 128);
    QVERIFY2(
        hollow >= 2 * solid + 8,
        qPrintable(QStringLiteral("%1 enclosed areas hollow, %2 filled").arg(hollow).arg(solid)));
}

// The outline is built on the first painting and kept while text, font and
// size stay; what is drawn from the kept outline is what a new label draws.
void TestPopupLabels::headingOutlineIsBuiltOnce()
{
    LabelRig rig(g_tarvel);
    auto *heading = qobject_cast<popup::HollowLabel *>(rig.label(QStringLiteral("Label1")));
    QVERIFY(heading != nullptr);
    const QImage first = paintedAlone(heading);
    const int builds = heading->shapeBuilds();
    QVERIFY(builds >= 1);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(paintedAlone(heading), first);
    }
    QCOMPARE(heading->shapeBuilds(), builds);

    popup::HollowLabel fresh(heading->text(), nullptr);
    fresh.setFont(heading->font());
    fresh.setPalette(heading->palette());
    fresh.resize(heading->size());
    QCOMPARE(paintedAlone(&fresh), first);

    heading->setText(QStringLiteral("软件"));
    const QImage shorter = paintedAlone(heading);
    QCOMPARE(heading->shapeBuilds(), builds + 1);
    QVERIFY(shorter != first);
}

void TestPopupLabels::hoverUnderlinesTheWholeText_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("name");
    QTest::addColumn<double>("scale"); // the fonts as a scale factor enlarges them
    for (const double scale : {1.0, 1.5, 2.0}) {
        QTest::addRow("Nobix Label1, %g", scale) << "Nobix"
                                                 << "Label1" << scale;
        QTest::addRow("Tarvel Label2, %g", scale) << "Tarvel"
                                                  << "Label2" << scale;
        QTest::addRow("Tarvel Label3, %g", scale) << "Tarvel"
                                                  << "Label3" << scale;
    }
}

// Hovered, a link shows a blue line under its text, inside the label and
// across the text's whole advance; the characters stay on their pixels.
void TestPopupLabels::hoverUnderlinesTheWholeText()
{
    QFETCH(QString, variant);
    QFETCH(QString, name);
    QFETCH(double, scale);
    LabelRig rig(variantNamed(variant));
    QLabel *label = rig.label(name);
    if (scale != 1.0) {
        QFont larger = label->font();
        larger.setPointSizeF(larger.pointSizeF() * scale);
        label->setFont(larger);
        label->resize(label->sizeHint());
    }
    const QFontMetrics metrics(label->font());
    const int advance = metrics.horizontalAdvance(label->text());
    const QPoint at = label->pos();
    const QImage before = paintedAlone(label);

    moveOver(label);
    QCOMPARE(label->pos(), at);
    QVERIFY(label->width() >= advance);
    const QImage after = paintedAlone(label);

    const auto inked = [](const QImage &image, int x, int y) {
        return qAlpha(image.pixel(x, y)) >= 128;
    };
    // The underline: a row below the baseline painted across the advance.
    int underline = -1;
    for (int y = metrics.ascent(); y < after.height() && underline < 0; ++y) {
        int covered = 0;
        for (int x = 0; x < advance; ++x) {
            covered += inked(after, x, y) ? 1 : 0;
        }
        if (covered >= advance * 95 / 100) {
            underline = y;
        }
    }
    QVERIFY2(underline >= 0, qPrintable(QStringLiteral("no underline in %1 rows, ascent %2")
                                            .arg(after.height())
                                            .arg(metrics.ascent())));
    QCOMPARE(QColor(after.pixel(advance / 2, underline)), QColor(0, 0, 255));
    // Above the baseline the glyphs cover the same pixels as before. Text is
    // blended with a gamma that depends on its colour, so only pixels
    // painted in one image and all but blank in the other count as moved.
    for (int y = 0; y < metrics.ascent(); ++y) {
        for (int x = 0; x < before.width(); ++x) {
            const int was = qAlpha(before.pixel(x, y));
            const int is = qAlpha(after.pixel(x, y));
            QVERIFY2(
                std::min(was, is) >= 64 || std::max(was, is) < 192,
                qPrintable(QStringLiteral("%1,%2: %3 then %4").arg(x).arg(y).arg(was).arg(is)));
        }
    }
}

void TestPopupLabels::nobixOpensMailOnAnyButtonPress_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

void TestPopupLabels::nobixOpensMailOnAnyButtonPress()
{
    QFETCH(Qt::MouseButton, button);
    LabelRig rig(g_nobix);
    QLabel *label = rig.label(QStringLiteral("Label1"));
    const QString timers = rig.timerState();

    press(label, button);
    QCOMPARE(rig.fakes.links.requests.size(), 1);
    const LinkRequest expected{
        &rig.startWindow,           QStringLiteral("Open"), NobixVariant::contactLink(),
        QString(QLatin1String("")), programDir(),           1};
    QCOMPARE(rig.fakes.links.requests.first(), expected);
    QVERIFY(rig.fakes.links.requests.first().parameters.has_value());
    QVERIFY(NobixVariant::contactLink().startsWith(QLatin1String("mailto:")));
    QVERIFY(NobixVariant::contactLink().contains(QLatin1Char('@')));

    // The release adds nothing; every further press opens again.
    release(label, button);
    QCOMPARE(rig.fakes.links.requests.size(), 1);
    press(label, button);
    QCOMPARE(rig.fakes.links.requests.size(), 2);
    QCOMPARE(rig.timerState(), timers);
}

void TestPopupLabels::nobixDoubleClickOpensOnce()
{
    LabelRig rig(g_nobix);
    QLabel *label = rig.label(QStringLiteral("Label1"));
    press(label, Qt::LeftButton);
    release(label, Qt::LeftButton);
    send(label, QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton);
    release(label, Qt::LeftButton);
    QCOMPARE(rig.fakes.links.requests.size(), 1);
}

void TestPopupLabels::tarvelOpensPageOnClick_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("target");
    QTest::newRow("Label2") << "Label2" << TarvelVariant::program1Link();
    QTest::newRow("Label3") << "Label3" << TarvelVariant::program2Link();
}

void TestPopupLabels::tarvelOpensPageOnClick()
{
    QFETCH(QString, name);
    QFETCH(QString, target);
    LabelRig rig(g_tarvel);
    QLabel *label = rig.label(name);
    const QString timers = rig.timerState();

    press(label, Qt::LeftButton);
    QVERIFY(rig.fakes.links.requests.isEmpty());
    release(label, Qt::LeftButton);
    QCOMPARE(rig.fakes.links.requests.size(), 1);
    const LinkRequest expected{rig.form.get(), QStringLiteral("open"), target,
                               std::nullopt,   std::nullopt,           1};
    QCOMPARE(rig.fakes.links.requests.first(), expected);

    press(label, Qt::LeftButton);
    release(label, Qt::LeftButton);
    QCOMPARE(rig.fakes.links.requests.size(), 2);
    QCOMPARE(rig.timerState(), timers);
}

void TestPopupLabels::tarvelIgnoresPressWithoutClick()
{
    LabelRig rig(g_tarvel);
    QLabel *label = rig.label(QStringLiteral("Label2"));
    press(label, Qt::RightButton);
    release(label, Qt::RightButton);
    // Pressed on the label, released away from it.
    press(label, Qt::LeftButton);
    release(label, Qt::LeftButton, QPoint(-40, -40));
    QVERIFY(rig.fakes.links.requests.isEmpty());
}

void TestPopupLabels::animationTakesPointerWhereItOverlapsLabel()
{
    LabelRig rig(g_nobix);
    QLabel *label = rig.label(QStringLiteral("Label1"));
    QLabel *anim = rig.label(QStringLiteral("AniGIF1"));
    QWidget *picture = label->parentWidget();
    const QRect overlap = label->geometry() & anim->geometry();
    QVERIFY(!overlap.isEmpty());
    QCOMPARE(picture->childAt(overlap.center()), anim);
    const QPoint labelOnly(label->geometry().left() + 2, label->geometry().center().y());
    QCOMPARE(picture->childAt(labelOnly), label);
}

QTEST_MAIN(TestPopupLabels)
#include "tst_popup_labels.moc"
