#include "GradientFailureReporter.h"
#include "MessageBoxReporter.h"
#include "MessageReporter.h"
#include "PopupTexts.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <string>

using popup::GradientFailureReporter;

namespace {

// Records every message it is asked to show.
struct RecordingReporter final : MessageReporter
{
    struct Shown
    {
        QWidget *parent;
        QString caption;
        QString text;
    };
    void showError(QWidget *parent, const QString &caption, const QString &text) override
    {
        shown.push_back(Shown{parent, caption, text});
    }
    std::vector<Shown> shown;
};

// What the next modal message box shows; it is accepted at once.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

void acceptNextBox(QObject *context, SeenBox &seen)
{
    QTimer::singleShot(0, context, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box != nullptr);
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        box->accept();
    });
}

} // namespace

class TestPopupReporting : public QObject
{
    Q_OBJECT

  private slots:
    void failureReachesMessageReporter_data();
    void failureReachesMessageReporter();
    void failureShowsWarningBox();
    void emptyCaptionShowsProgramTitle();
    void runtimeErrorMessage_data();
    void runtimeErrorMessage();
};

void TestPopupReporting::failureReachesMessageReporter_data()
{
    QTest::addColumn<QByteArray>("caption"); // UTF-8
    QTest::addColumn<QByteArray>("text");    // UTF-8
    QTest::addColumn<QString>("expectedCaption");
    QTest::addColumn<QString>("expectedText");

    QTest::newRow("painter") << QByteArray("GradientRect") << QByteArray("\xe6\xba\xa2\xe5\x87\xba")
                             << QStringLiteral("GradientRect") << QStringLiteral("溢出");
    QTest::newRow("no caption") << QByteArray()
                                << QByteArray("\xe5\x86\x85\xe5\xad\x98\xe4\xb8\x8d\xe8\xb6\xb3")
                                << QString() << QStringLiteral("内存不足");
}

void TestPopupReporting::failureReachesMessageReporter()
{
    QFETCH(QByteArray, caption);
    QFETCH(QByteArray, text);
    QFETCH(QString, expectedCaption);
    QFETCH(QString, expectedText);

    RecordingReporter messages;
    GradientFailureReporter reporter(messages);
    const std::string captionBytes = caption.toStdString();
    const std::string textBytes = text.toStdString();
    reporter.reportFailure(captionBytes, textBytes);

    QCOMPARE(messages.shown.size(), size_t{1});
    QCOMPARE(messages.shown.front().parent, nullptr);
    QCOMPARE(messages.shown.front().caption, expectedCaption);
    QCOMPARE(messages.shown.front().text, expectedText);
}

void TestPopupReporting::failureShowsWarningBox()
{
    SeenBox seen;
    acceptNextBox(this, seen);
    MessageBoxReporter messages;
    GradientFailureReporter reporter(messages);
    reporter.reportFailure("GradientRect", "内存不足");
    QCOMPARE(seen.title, QStringLiteral("GradientRect"));
    QCOMPARE(seen.text, QStringLiteral("内存不足"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
}

void TestPopupReporting::emptyCaptionShowsProgramTitle()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Nobix"));
    SeenBox seen;
    acceptNextBox(this, seen);
    MessageBoxReporter messages;
    GradientFailureReporter reporter(messages);
    reporter.reportFailure({}, "溢出");
    QCOMPARE(seen.title, QStringLiteral("Nobix"));
    QCOMPARE(seen.text, QStringLiteral("溢出"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
}

void TestPopupReporting::runtimeErrorMessage_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("expected");
    QTest::newRow("overflow") << 6 << QStringLiteral("溢出")
                              << QStringLiteral("运行时错误 '6':\n\n溢出");
    QTest::newRow("invalid value") << 380 << QStringLiteral("无效的属性值")
                                   << QStringLiteral("运行时错误 '380':\n\n无效的属性值");
}

void TestPopupReporting::runtimeErrorMessage()
{
    QFETCH(int, number);
    QFETCH(QString, description);
    QFETCH(QString, expected);
    QCOMPARE(popup::texts::runtimeErrorMessage(number, description), expected);
}

QTEST_MAIN(TestPopupReporting)
#include "tst_popup_reporting.moc"
