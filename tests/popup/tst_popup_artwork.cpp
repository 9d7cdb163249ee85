#include "AlertWindow.h"
#include "ImageLoading.h"
#include "NobixVariant.h"
#include "PopupFakes.h"
#include "TarvelVariant.h"

#include <QLabel>
#include <QtTest>

#include <cmath>
#include <memory>

using popup::AlertVariant;
using popup::AlertWindow;
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

// WCAG 2 relative luminance of an sRGB colour.
double luminance(const QColor &c)
{
    auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

// WCAG 2 contrast ratio, 1 to 21.
double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return std::max(la, lb) / std::min(la, lb);
}

} // namespace

// What lies behind the labels: the artwork over the gradient, as the real
// alert lays them out. The labels' colours are given; the artwork must let
// each of them be read.
class TestPopupArtwork : public QObject
{
    Q_OBJECT

  private slots:
    void init() { AlertWindow::setAlertCount(0); }
    void labelsReadOnWhatLiesBehindThem_data();
    void labelsReadOnWhatLiesBehindThem();
    void artworkHasNoNearWhiteFringe_data();
    void artworkHasNoNearWhiteFringe();
};

void TestPopupArtwork::labelsReadOnWhatLiesBehindThem_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("normal"); // invalid: the label's own (system) colour
    QTest::addColumn<QColor>("hover");  // invalid: the label has no hover style
    QTest::addColumn<double>("least");

    const QColor blue(0, 0, 255);
    QTest::newRow("Nobix Label1") << "Nobix"
                                  << "Label1" << QColor() << blue << 4.5;
    QTest::newRow("Tarvel Label1") << "Tarvel"
                                   << "Label1" << QColor(255, 0, 255) << QColor() << 4.5;
    // RGB(255,192,128) (luminance 0.605) reads at 4.5:1 only on a backdrop
    // of luminance at most 0.096, RGB(0,0,255) (0.072) only on one of at
    // least 0.50: no backdrop serves both. The best any backdrop gives both
    // is 2.31:1, at luminance 0.233 ((0.655 x 0.122)^0.5 - 0.05).
    QTest::newRow("Tarvel Label2") << "Tarvel"
                                   << "Label2" << QColor(255, 192, 128) << blue << 2.25;
    QTest::newRow("Tarvel Label3") << "Tarvel"
                                   << "Label3" << QColor(255, 192, 128) << blue << 2.25;
}

void TestPopupArtwork::labelsReadOnWhatLiesBehindThem()
{
    QFETCH(QString, variant);
    QFETCH(QString, name);
    QFETCH(QColor, normal);
    QFETCH(QColor, hover);
    QFETCH(double, least);

    PopupFakes fakes;
    QWidget startWindow;
    AlertWindow form(fakes.services(), variantNamed(variant), &startWindow);
    form.DisplayAlert(QString(), 3000);
    auto *label = form.findChild<QLabel *>(name);
    QVERIFY(label != nullptr);
    QWidget *picture = label->parentWidget();
    QCOMPARE(picture->objectName(), QStringLiteral("弹出信息"));
    if (!normal.isValid()) {
        normal = label->palette().color(QPalette::WindowText);
    }
    // The picture box with the artwork, without the labels and the
    // animation in front.
    for (QLabel *front : picture->findChildren<QLabel *>()) {
        front->setVisible(front->objectName() == QLatin1String("Image2"));
    }
    const QImage behind = picture->grab().toImage();
    const QRect area = label->geometry() & picture->rect();
    QVERIFY(area.width() > 20 && area.height() > 10);

    for (const QColor &text : {normal, hover}) {
        if (!text.isValid()) {
            continue;
        }
        double worst = 21;
        QPoint at;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const double ratio = contrast(text, behind.pixelColor(x, y));
                if (ratio < worst) {
                    worst = ratio;
                    at = QPoint(x, y);
                }
            }
        }
        QVERIFY2(worst >= least, qPrintable(QStringLiteral("%1 on %2 at (%3,%4) in %5: %6:1")
                                                .arg(text.name(), behind.pixelColor(at).name())
                                                .arg(at.x())
                                                .arg(at.y())
                                                .arg(QStringLiteral("%1x%2+%3+%4")
                                                         .arg(area.width())
                                                         .arg(area.height())
                                                         .arg(area.x())
                                                         .arg(area.y()))
                                                .arg(worst, 0, 'f', 2)));
    }
}

void TestPopupArtwork::artworkHasNoNearWhiteFringe_data()
{
    QTest::addColumn<QString>("resource");
    QTest::newRow("Nobix") << g_nobix.artworkResource();
    QTest::newRow("Tarvel") << g_tarvel.artworkResource();
}

// White is the artwork's transparent colour. An off-white pixel, such as an
// edge blended with the white ground, stays opaque and shows as a pale
// fringe on the gradient.
void TestPopupArtwork::artworkHasNoNearWhiteFringe()
{
    QFETCH(QString, resource);
    const Result<QImage> loaded = popup::loadImageOfFormat(resource, "png");
    QVERIFY2(loaded.ok(), qPrintable(loaded.error()));
    const QImage art = loaded.value().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(art.size(), QSize(112, 121));
    int white = 0;
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            const QColor c = art.pixelColor(x, y);
            if (c == QColor(Qt::white)) {
                ++white;
                continue;
            }
            QVERIFY2(std::min({c.red(), c.green(), c.blue()}) < 240,
                     qPrintable(QStringLiteral("%1 at (%2,%3)").arg(c.name()).arg(x).arg(y)));
        }
    }
    QVERIFY(white > 1000); // the ground is white
}

QTEST_MAIN(TestPopupArtwork)
#include "tst_popup_artwork.moc"
