#include "AlertWindow.h"

#include "AlertVariant.h"
#include "AppPaths.h"
#include "GifAnimation.h"
#include "GradientRect.h"
#include "ImageLoading.h"
#include "PictureBox.h"
#include "PopupTexts.h"
#include "ScreenMetrics.h"
#include "SoundPlayer.h"
#include "SysColors.h"
#include "TaskBarExclusion.h"

#include <QCloseEvent>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace popup {

namespace {

int16_t g_alertCount = 0;

constexpr int32_t kBackColour = 0x00FFC0FF;   // RGB(255,192,255)
constexpr int32_t kGradientFrom = 0x00FFFFFF; // RGB(255,255,255)
constexpr int32_t kGradientTo = 0x00FFFF80;   // RGB(128,255,255)
constexpr float kGradientAngle = 240.0f;
constexpr double kFlatHeight = 80;        // twips
constexpr double kTopOffset = 160;        // twips below the full-screen client area
constexpr double kClosedHeight = 120;     // twips; a lower window has finished closing
constexpr int kDesignHoldInterval = 5000; // ms, replaced by DisplayAlert

// The artwork with its white pixels made transparent.
QPixmap keyedArtwork(const QString &resource)
{
    const Result<QImage> loaded = loadImageOfFormat(resource, "png");
    if (!loaded) {
        return {};
    }
    QImage image = loaded.value().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0x00FFFFFFu) == 0x00FFFFFFu) {
                line[x] = qRgba(255, 255, 255, 0);
            }
        }
    }
    return QPixmap::fromImage(image);
}

} // namespace

AlertWindow::AlertWindow(const AlertServices &services, const AlertVariant &variant,
                         QWidget *startWindow)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint), m_services(services),
      m_variant(variant), m_startWindow(startWindow), m_geometry(services.scale),
      m_picture(new PictureBox(this)), m_image2(new QLabel(m_picture)),
      m_aniGif1(new QLabel(m_picture)),
      m_swing(new GifAnimation(m_aniGif1, QStringLiteral(":/popup/swing.gif"), "gif")),
      m_tmrOpen(new QTimer(this)), m_tmrAlert(new QTimer(this)), m_tmrClose(new QTimer(this))
{
    setObjectName(QStringLiteral("Form2"));
    // No task-bar or switcher entry; a tool window alone is listed by most
    // panels.
    TaskBarExclusion::install(this);
    QPalette back = palette();
    back.setColor(QPalette::Window, toQColor(kBackColour));
    setPalette(back);
    setAutoFillBackground(true);
    // Design size; DisplayAlert replaces it.
    m_geometry.setWidth(1605);
    m_geometry.setHeight(2070);
    applyGeometry();

    const TwipsScale scale = services.scale;
    m_picture->setObjectName(QStringLiteral("弹出信息"));
    m_picture->setGeometry(twips::toPixels(scale, -30, 0, 1665, 1905));

    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setGeometry(twips::toPixels(scale, 0, variant.artworkTop(), 1680, 1815));
    m_image2->setPixmap(keyedArtwork(variant.artworkResource()));
    m_image2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    variant.createLabels(LabelSite{m_picture, this, startWindow, services.links, scale});

    m_aniGif1->setObjectName(QStringLiteral("AniGIF1"));
    m_aniGif1->setGeometry(twips::toPixels(scale, 1080, 210, 480, 855));
    m_swing->start();
    m_aniGif1->raise();

    // The timings are the alert's behaviour: a coarse timer would let the
    // hold end up to 5 % early or late.
    for (QTimer *timer : {m_tmrOpen, m_tmrAlert, m_tmrClose}) {
        timer->setTimerType(Qt::PreciseTimer);
    }
    m_tmrOpen->setObjectName(QStringLiteral("tmrOpen"));
    m_tmrOpen->setInterval(kOpenInterval);
    m_tmrAlert->setObjectName(QStringLiteral("tmrAlert"));
    m_tmrAlert->setInterval(kDesignHoldInterval);
    m_tmrClose->setObjectName(QStringLiteral("tmrClose"));
    m_tmrClose->setInterval(kCloseInterval);
    connect(m_tmrOpen, &QTimer::timeout, this, &AlertWindow::tmrOpen_Timer);
    connect(m_tmrAlert, &QTimer::timeout, this, &AlertWindow::tmrAlert_Timer);
    connect(m_tmrClose, &QTimer::timeout, this, &AlertWindow::tmrClose_Timer);
}

AlertWindow::~AlertWindow() = default;

int16_t AlertWindow::AlertCount()
{
    return g_alertCount;
}

void AlertWindow::setAlertCount(int16_t value)
{
    g_alertCount = value;
}

void AlertWindow::DisplayAlert(const QString &message, int32_t duration)
{
    Q_UNUSED(message);
    if (g_alertCount == std::numeric_limits<int16_t>::max()) {
        m_services.runtimeError(texts::kOverflowError, texts::kOverflowText.toString());
        return;
    }
    ++g_alertCount;
    m_alertNumber = g_alertCount;

    if (duration < 0) {
        m_services.runtimeError(texts::kInvalidValueError, texts::kInvalidValueText.toString());
        return;
    }
    m_tmrAlert->setInterval(duration);

    m_fullScreenWidth = m_services.screen.fullScreenWidth();
    m_fullScreenHeight = m_services.screen.fullScreenHeight();

    // The client area is the whole window: no border, no caption.
    const double scaleWidth = rect().width() * m_services.scale.perPixelX;
    const double scaleHeight = rect().height() * m_services.scale.perPixelY;
    m_borderWidth = static_cast<int32_t>(std::nearbyint(Width() - scaleWidth));
    m_borderHeight = static_cast<int32_t>(std::nearbyint(Height() - scaleHeight));

    m_geometry.setHeight(kFlatHeight);
    m_geometry.setWidth(pictureWidth() + m_borderWidth);
    m_geometry.setLeft(m_services.scale.perPixelX * m_fullScreenWidth - Width());
    m_geometry.setTop(m_services.scale.perPixelY * m_fullScreenHeight -
                      (pictureHeight() + m_borderHeight) * (g_alertCount - 1) + kTopOffset);
    m_device = DeviceGeometry(m_services.screen.devicePixelRatio());
    const QRect flat = m_device.toDevice(m_geometry.pixels());
    QPoint corner(flat.x() + flat.width(), flat.y() + flat.height());
    const QRect area = m_services.screen.availableDeviceGeometry();
    if (!area.isEmpty()) {
        corner.rx() = std::min(corner.x(), area.x() + area.width());
        corner.ry() = std::min(corner.y(), area.y() + area.height());
    }
    // The open window ends exactly on the corner, at its own size; a device
    // pixel inward where the ratio leaves no logical edge on the corner.
    const QSize open(m_geometry.pixels().width(),
                     static_cast<int>(std::lround((pictureHeight() + m_borderHeight) /
                                                  m_services.scale.perPixelY)));
    m_deviceCorner = m_device.cornerFor(open, corner);
    // Window managers keep a window's device size to the base size plus a
    // multiple of the size increment Qt announces (the ratio rounded). The
    // open size is the base, set once: a base changing on every step would
    // have the manager resize the window before each move. With a minimum
    // size of its own the base is no lower bound. Qt hands both to the
    // native window only once there is one.
    static_cast<void>(winId());
    setMinimumSize(1, 1);
    setBaseSize(open);
    applyGeometry();

    show();

    static_cast<void>(m_services.sound.playSoundAsync(programDir() + QLatin1Char('/') +
                                                      m_variant.soundFileName()));

    if (!m_gradient) {
        m_gradient = std::make_unique<GradientRect>(m_services.failures, &sysColor);
    }
    m_gradient->setAngle(kGradientAngle);
    m_gradient->setColor1(kGradientFrom);
    m_gradient->setColor2(kGradientTo);
    static_cast<void>(m_gradient->Draw(m_picture->drawTarget()));

    m_picture->update();

    m_tmrOpen->start();
}

void AlertWindow::tmrOpen_Timer()
{
    const double h = std::nearbyint(Height());
    const double full = pictureHeight() + m_borderHeight;
    if (full > h) {
        double d = h + kStep;
        if (full < d) {
            d = full;
        }
        resizeKeepingBottom(Height() + (d - h));
    } else {
        m_tmrOpen->stop();
        m_tmrAlert->start();
    }
}

void AlertWindow::tmrAlert_Timer()
{
    m_tmrAlert->stop();
    m_tmrClose->start();
}

void AlertWindow::tmrClose_Timer()
{
    const double h = std::nearbyint(Height());
    if (h > kClosedHeight) {
        resizeKeepingBottom(h - kStep);
        return;
    }
    if (g_alertCount == m_alertNumber) {
        g_alertCount = 0;
    }
    m_tmrClose->stop();
    m_ending = true;
    if (m_startWindow != nullptr) {
        m_startWindow->close();
    }
    close();
    m_services.quit();
}

void AlertWindow::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    event->accept();
    if (!m_ending) {
        m_ending = true;
        m_services.quit();
    }
}

double AlertWindow::pictureWidth() const
{
    return m_picture->width() * m_services.scale.perPixelX;
}

double AlertWindow::pictureHeight() const
{
    return m_picture->height() * m_services.scale.perPixelY;
}

void AlertWindow::resizeKeepingBottom(double height)
{
    const double before = Height();
    m_geometry.setHeight(height);
    m_geometry.setTop(Top() - (Height() - before));
    applyGeometry();
}

void AlertWindow::applyGeometry()
{
    const QRect logical = m_geometry.pixels();
    setGeometry(m_deviceCorner ? m_device.fit(logical, m_deviceCorner->x(), m_deviceCorner->y(),
                                              m_device.toDevice(QRect(QPoint(), baseSize())).size())
                               : logical);
}

} // namespace popup
