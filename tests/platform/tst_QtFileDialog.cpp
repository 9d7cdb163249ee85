#include "QtFileDialog.h"
#include "Translations.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Runs act on the file dialog once it is up and modal; records what it saw.
struct DialogSeen
{
    bool found = false;
    bool qtsOwn = false; // not the desktop's dialog
    QString lookIn;      // the "Look in" label
    QString directory;
    QStringList nameFilters;
};

void whenShown(DialogSeen &seen, const std::function<void(QFileDialog &)> &act)
{
    auto *poll = new QTimer(qApp);
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &seen, act] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        seen.found = true;
        seen.qtsOwn = dialog->testOption(QFileDialog::DontUseNativeDialog);
        if (auto *label = dialog->findChild<QLabel *>("lookInLabel"); label != nullptr) {
            seen.lookIn = label->text();
        }
        seen.directory = dialog->directory().absolutePath();
        seen.nameFilters = dialog->nameFilters();
        act(*dialog);
    });
    poll->start();
}

} // namespace

class TestQtFileDialog : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void cancelKeepsFileName();
    void pickSetsFileName();
};

void TestQtFileDialog::initTestCase()
{
    QVERIFY(installChineseTranslations(*QCoreApplication::instance()).ok());
}

void TestQtFileDialog::cancelKeepsFileName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString before = dir.filePath("earlier.mp3");
    QWidget parent;
    QtFileDialog cdiag(&parent);
    cdiag.setFilter("*.mp3");
    cdiag.setFileName(before);
    DialogSeen seen;
    whenShown(seen, [](QFileDialog &d) { d.reject(); });
    QVERIFY(!cdiag.showOpen());
    QVERIFY(seen.found);
    QCOMPARE(cdiag.fileName(), before);
    QCOMPARE(seen.directory, dir.path()); // starts where the last file was
    QCOMPARE(seen.nameFilters, QStringList{"*.mp3"});
    // Qt's own dialog, in Chinese whatever the desktop's language.
    QVERIFY(seen.qtsOwn);
    QCOMPARE(seen.lookIn, QStringLiteral("查找范围："));
}

void TestQtFileDialog::pickSetsFileName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath("song.mp3");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QWidget parent;
    QtFileDialog cdiag(&parent);
    cdiag.setFilter("*.mp3");
    DialogSeen seen;
    whenShown(seen, [file](QFileDialog &d) {
        auto *name = d.findChild<QLineEdit *>("fileNameEdit");
        if (name == nullptr) {
            d.reject();
            return;
        }
        name->setText(file);
        QMetaObject::invokeMethod(&d, "accept");
    });
    QVERIFY(cdiag.showOpen());
    QVERIFY(seen.found);
    QCOMPARE(cdiag.fileName(), file);
}

QTEST_MAIN(TestQtFileDialog)
#include "tst_QtFileDialog.moc"
