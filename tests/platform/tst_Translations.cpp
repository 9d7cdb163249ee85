#include "Translations.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

// Qt's texts as a Chinese user sees them, from Qt's zh_CN translations.
class TestTranslations : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void messageBoxButtons_data();
    void messageBoxButtons();
    void fileDialog();
    void defaultLocale();
};

void TestTranslations::initTestCase()
{
    // Whatever the user's locale.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const Result<void> installed = installChineseTranslations(*QCoreApplication::instance());
    QVERIFY2(installed.ok(), qPrintable(installed.error()));
}

void TestTranslations::messageBoxButtons_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("OK") << int(QMessageBox::Ok) << QStringLiteral("确定");
    QTest::newRow("Cancel") << int(QMessageBox::Cancel) << QStringLiteral("取消");
}

void TestTranslations::messageBoxButtons()
{
    QFETCH(int, button);
    QFETCH(QString, text);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Plovi"), QStringLiteral("无法保存"),
                    QMessageBox::StandardButton(button));
    QAbstractButton *shown = box.button(QMessageBox::StandardButton(button));
    QVERIFY(shown != nullptr);
    QCOMPARE(shown->text().remove(QLatin1Char('&')), text);
}

void TestTranslations::fileDialog()
{
    QFileDialog dialog(nullptr, QString(), QString(), QStringLiteral("*.mp3"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    auto *lookIn = dialog.findChild<QLabel *>("lookInLabel");
    auto *fileName = dialog.findChild<QLabel *>("fileNameLabel");
    auto *buttons = dialog.findChild<QDialogButtonBox *>("buttonBox");
    QVERIFY(lookIn != nullptr && fileName != nullptr && buttons != nullptr);
    QCOMPARE(lookIn->text(), QStringLiteral("查找范围："));
    QCOMPARE(fileName->text().remove(QStringLiteral("(&N)")), QStringLiteral("文件名称："));
    QCOMPARE(buttons->button(QDialogButtonBox::Open)->text().remove(QStringLiteral("(&O)")),
             QStringLiteral("打开"));
    QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    // Shown when a typed file name names no file.
    QCOMPARE(
        QCoreApplication::translate(
            "QFileDialog", "%1\nFile not found.\nPlease verify the correct file name was given.")
            .arg(QStringLiteral("a.mp3")),
        QStringLiteral("a.mp3\n文件未找到。\n请检查指定的文件名是否正确。"));
}

void TestTranslations::defaultLocale()
{
    QCOMPARE(QLocale().name(), QStringLiteral("zh_CN"));
}

QTEST_MAIN(TestTranslations)
#include "tst_Translations.moc"
