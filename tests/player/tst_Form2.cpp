#include "BindingsFile.h"
#include "FileSizeLimit.h"
#include "Form1.h"
#include "Form2.h"
#include "PlayerHarness.h"
#include "TrackButton.h"
#include "Twips.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cstring>
#include <functional>

namespace {

QByteArray record(const QByteArray &path, const QByteArray &name)
{
    return "\"" + path + "\",\"" + name + "\"\r\n";
}

QPushButton *button(QWidget *dialog, const QString &name)
{
    return dialog->findChild<QPushButton *>(name);
}

QPushButton *rowButton(QWidget *dialog, const char *name, int row)
{
    return button(dialog, QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(row));
}

// Opens the settings with "设置", runs act on the shown dialog, and closes it
// with "取消" if act left it open. Returns whether act left it open.
bool withSettings(Form1 &form, const std::function<void(Form2 &)> &act)
{
    bool leftOpen = false;
    QTimer::singleShot(0, &form, [&] {
        Form2 *dialog = form.form2();
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        act(*dialog);
        if (form.form2() != nullptr && form.form2()->isVisible()) {
            leftOpen = true;
            QTest::mouseClick(button(form.form2(), "CmdCancel"), Qt::LeftButton);
        }
    });
    QTest::mouseClick(form.findChild<QPushButton *>("CmdSet"), Qt::LeftButton);
    return leftOpen;
}

// Types text key by key, each key carrying one character, as a keyboard
// layout for the text's script would.
void typeText(QWidget *w, const QString &text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(w, &release);
    }
}

QStringList captions(const Form1 &form)
{
    QStringList out;
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        out << form.CmdTrack(i)->text() + '|' + form.CmdTrack(i)->tag() + '|' +
                   (form.CmdTrack(i)->isEnabled() ? "on" : "off");
    }
    return out;
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT
  private slots:
    void shownModalCentredWithFocusInFirstPath();
    void rowLabelsAndLayout();
    void tabOrder();
    void settingsReReadsFile();
    void saveWritesFifteenLinesAndRefreshes();
    void saveRules_data();
    void saveRules();
    void cancelChangesNothing();
    void deleteThenSaveOrCancel_data();
    void deleteThenSaveOrCancel();
    void browseRemembersFileName();
    void browseRefusesQuote_data();
    void browseRefusesQuote();
    void nameBoxLimit();
    void quoteRefusedTypedAndPasted_data();
    void quoteRefusedTypedAndPasted();
    void chineseNameThroughInputMethod();
    void noEnterOrEscapeButton();
    void failedSaveKeepsDialogAndButtons();
    void saveOnFullDiskKeepsDialogAndFile();
    void aboutStartsNobixAndStaysOpen();
};

void TestForm2::shownModalCentredWithFocusInFirstPath()
{
    PlayerHarness h;
    Form1 form(h.services());
    form.show();
    QVERIFY(!withSettings(form, [&](Form2 &d) {
        QVERIFY(d.isModal());
        QVERIFY(QApplication::activeModalWidget() == &d);
        QCOMPARE(d.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
        QCOMPARE(d.windowType(), Qt::Tool);
        QCOMPARE(d.windowTitle(), QString("Plovi"));
        QVERIFY(d.windowIcon().availableSizes().contains(QSize(16, 16)));
        QCOMPARE(d.size(), QSize(twips::toPixelsX(8040), twips::toPixelsY(4755)));
        const QRect screen = d.screen()->geometry();
        QCOMPARE(d.pos(), QPoint(screen.x() + (screen.width() - d.width()) / 2,
                                 screen.y() + (screen.height() - d.height()) / 2));
        QCOMPARE(d.focusWidget(), d.fullPathBox(0));
        QTest::mouseClick(button(&d, "CmdCancel"), Qt::LeftButton);
    }));
    QVERIFY(form.form2() == nullptr);
}

void TestForm2::rowLabelsAndLayout()
{
    PlayerHarness h;
    Form1 form(h.services());
    withSettings(form, [&](Form2 &d) {
        for (int i = 0; i < kTrackSlots; ++i) {
            auto *label = d.findChild<QLabel *>(QStringLiteral("LblTrackNo_%1").arg(i));
            QCOMPARE(label->text(), QStringLiteral("轨迹 %1").arg(i + 1, 2, 10, QChar('0')));
            QCOMPARE(d.fullPathBox(int16_t(i))->y(), twips::toPixelsY(480 + 240 * i));
        }
        QCOMPARE(rowButton(&d, "CmdFindTrack", 14)->y(), twips::toPixelsY(3870));
        QCOMPARE(rowButton(&d, "CmdDelete", 14)->y(), twips::toPixelsY(3840));
        QCOMPARE(button(&d, "CmdExit")->text(), QStringLiteral("保存并退出"));
        QCOMPARE(d.shortNameBox(0)->maxLength(), 20);
    });
}

void TestForm2::tabOrder()
{
    PlayerHarness h;
    Form1 form(h.services());
    withSettings(form, [&](Form2 &d) {
        QStringList expected;
        auto block = [&](const char *name, int from, int to) {
            for (int i = from; i <= to; ++i) {
                expected << QStringLiteral("%1_%2").arg(QString::fromUtf8(name)).arg(i);
            }
        };
        block("完整路经", 0, 11);
        block("CmdFindTrack", 0, 11);
        block("TxtShortName", 0, 11);
        expected << "CmdCancel"
                 << "CmdExit";
        block("CmdDelete", 0, 11);
        block("完整路经", 12, 14);
        block("CmdFindTrack", 12, 14);
        block("TxtShortName", 12, 14);
        block("CmdDelete", 12, 14);
        expected << "Command1";
        QStringList actual;
        QWidget *w = d.fullPathBox(0);
        while (actual.size() < expected.size()) {
            actual << w->objectName();
            do {
                w = w->nextInFocusChain();
            } while ((w->focusPolicy() & Qt::TabFocus) == 0);
        }
        QCOMPARE(actual, expected);
    });
}

void TestForm2::settingsReReadsFile()
{
    PlayerHarness h;
    h.writeBindings(record("/old.mp3", "old"));
    Form1 form(h.services());
    h.writeBindings(record("/new.mp3", "new") + record("/two.mp3", "two"));
    withSettings(form, [&](Form2 &d) {
        QCOMPARE(d.fullPathBox(0)->text(), QString("/new.mp3"));
        QCOMPARE(d.shortNameBox(1)->text(), QString("two"));
    });
    QCOMPARE(form.CmdTrack(0)->text(), QString("old"));
}

void TestForm2::saveWritesFifteenLinesAndRefreshes()
{
    PlayerHarness h;
    h.writeBindings(record("/a.mp3", "a") + record("/b.mp3", "b"));
    Form1 form(h.services());
    QVERIFY(!withSettings(form, [&](Form2 &d) {
        d.shortNameBox(2)->setFocus();
        typeText(d.shortNameBox(2), QStringLiteral("新歌, x"));
        d.fullPathBox(2)->setText(QStringLiteral("/音乐/새 노래.mp3"));
        QTest::mouseClick(button(&d, "CmdExit"), Qt::LeftButton);
    }));
    QVERIFY(form.form2() == nullptr);
    QVERIFY(h.messages.shown().isEmpty());
    const std::vector<TrackBinding> expected = [] {
        std::vector<TrackBinding> rows(kTrackSlots);
        rows[0] = {"/a.mp3", "a"};
        rows[1] = {"/b.mp3", "b"};
        rows[2] = {QStringLiteral("/音乐/새 노래.mp3"), QStringLiteral("新歌, x")};
        return rows;
    }();
    const QByteArray bytes = h.bindingsBytes();
    QCOMPARE(bytes, BindingsFile::format(expected));
    QCOMPARE(bytes.count("\r\n"), 15);
    QCOMPARE(form.CmdTrack(2)->text(), QStringLiteral("新歌, x"));
    QCOMPARE(form.CmdTrack(2)->tag(), QStringLiteral("/音乐/새 노래.mp3"));
    QVERIFY(form.CmdTrack(2)->isEnabled());
    QCOMPARE(form.CmdTrack(3)->text(), QString());
    QVERIFY(!form.CmdTrack(3)->isEnabled());
}

void TestForm2::saveRules_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("name and path") << "/p.mp3"
                                   << "n"
                                   << "n" << true;
    QTest::newRow("name of spaces") << "/p.mp3"
                                    << "   "
                                    << "" << false;
    QTest::newRow("name, empty path") << ""
                                      << "n"
                                      << "n" << true;
    QTest::newRow("path, no name") << "/p.mp3"
                                   << ""
                                   << "" << false;
    QTest::newRow("name with outer spaces") << " /p.mp3 "
                                            << " n "
                                            << " n " << true;
}

void TestForm2::saveRules()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    PlayerHarness h;
    Form1 form(h.services());
    withSettings(form, [&](Form2 &d) {
        d.fullPathBox(6)->setText(path);
        d.shortNameBox(6)->setText(name);
        QTest::mouseClick(button(&d, "CmdExit"), Qt::LeftButton);
    });
    QCOMPARE(form.CmdTrack(6)->text(), caption);
    QCOMPARE(form.CmdTrack(6)->isEnabled(), enabled);
    QCOMPARE(form.CmdTrack(6)->tag(), path);
    const std::vector<TrackBinding> read = BindingsFile(h.bindingsPath).read().records;
    QCOMPARE(read.size(), size_t(kTrackSlots));
    QCOMPARE(read[6], (TrackBinding{path, name}));
}

void TestForm2::cancelChangesNothing()
{
    PlayerHarness h;
    const QByteArray before = record("/a.mp3", "a");
    h.writeBindings(before);
    Form1 form(h.services());
    const QStringList buttonsBefore = captions(form);
    withSettings(form, [&](Form2 &d) {
        d.shortNameBox(0)->setText("changed");
        d.fullPathBox(4)->setText("/x.mp3");
        QTest::mouseClick(button(&d, "CmdCancel"), Qt::LeftButton);
    });
    QCOMPARE(h.bindingsBytes(), before);
    QCOMPARE(captions(form), buttonsBefore);
    withSettings(form, [&](Form2 &d) {
        QCOMPARE(d.shortNameBox(0)->text(), QString("a"));
        QCOMPARE(d.fullPathBox(4)->text(), QString());
    });
}

void TestForm2::deleteThenSaveOrCancel_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("then cancel") << false;
    QTest::newRow("then save") << true;
}

void TestForm2::deleteThenSaveOrCancel()
{
    QFETCH(bool, save);
    PlayerHarness h;
    const QByteArray before = record("/a.mp3", "a") + record("/b.mp3", "b");
    h.writeBindings(before);
    Form1 form(h.services());
    withSettings(form, [&](Form2 &d) {
        QTest::mouseClick(rowButton(&d, "CmdDelete", 1), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(1)->text(), QString());
        QCOMPARE(d.shortNameBox(1)->text(), QString());
        QCOMPARE(d.shortNameBox(0)->text(), QString("a"));
        QCOMPARE(form.CmdTrack(1)->text(), QString("b"));
        QTest::mouseClick(button(&d, save ? "CmdExit" : "CmdCancel"), Qt::LeftButton);
    });
    if (save) {
        QCOMPARE(BindingsFile(h.bindingsPath).read().records.at(1), TrackBinding());
        QCOMPARE(form.CmdTrack(1)->text(), QString());
        QVERIFY(!form.CmdTrack(1)->isEnabled());
        QCOMPARE(form.CmdTrack(1)->tag(), QString());
    } else {
        QCOMPARE(h.bindingsBytes(), before);
        QCOMPARE(form.CmdTrack(1)->text(), QString("b"));
        QCOMPARE(form.CmdTrack(1)->tag(), QString("/b.mp3"));
    }
}

void TestForm2::browseRemembersFileName()
{
    PlayerHarness h;
    Form1 form(h.services());
    h.dialogs->answers = {std::nullopt, QStringLiteral("  /music/a.mp3 "), std::nullopt};
    withSettings(form, [&](Form2 &d) {
        d.fullPathBox(1)->setText("/typed.mp3");
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 1), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(1)->text(), QString()); // first browse cancelled
        d.shortNameBox(3)->setText("keep");
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 3), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(3)->text(), QString("/music/a.mp3"));
        QCOMPARE(d.shortNameBox(3)->text(), QString("keep"));
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 5), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(5)->text(), QString("/music/a.mp3"));
    });
    QCOMPARE(h.dialogs->shown, 3);
    QCOMPARE(h.dialogs->filtersShown, QStringList({"*.mp3", "*.mp3", "*.mp3"}));
    const int created = h.dialogs->created;
    withSettings(form, [&](Form2 &d) {
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 5), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(5)->text(), QString()); // a new loading forgets
    });
    QCOMPARE(h.dialogs->created, created + 1);
}

void TestForm2::browseRefusesQuote_data()
{
    QTest::addColumn<QString>("picked");
    QTest::newRow("double quote") << "/music/say \"hi\".mp3";
    QTest::newRow("line feed") << "/music/a\nb.mp3";
    QTest::newRow("carriage return") << "/music/a\rb.mp3";
}

void TestForm2::browseRefusesQuote()
{
    QFETCH(QString, picked);
    PlayerHarness h;
    Form1 form(h.services());
    h.dialogs->answers = {QStringLiteral("/music/ok.mp3"), picked, std::nullopt};
    withSettings(form, [&](Form2 &d) {
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 0), Qt::LeftButton);
        d.fullPathBox(2)->setText("/before.mp3");
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 2), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(2)->text(), QString("/before.mp3"));
        QCOMPARE(h.messages.shown().size(), 1);
        QVERIFY(h.messages.shown().first().contains(picked));
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 4), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(4)->text(), QString("/music/ok.mp3"));
    });
}

void TestForm2::nameBoxLimit()
{
    PlayerHarness h;
    Form1 form(h.services());
    withSettings(form, [&](Form2 &d) {
        d.shortNameBox(0)->setFocus();
        typeText(d.shortNameBox(0), QStringLiteral("一二三四五六七八九十一二三四五六七八九十多"));
        QCOMPARE(d.shortNameBox(0)->text().size(), 20);
        QVERIFY(!d.shortNameBox(0)->text().contains(QStringLiteral("多")));
        QCOMPARE(d.fullPathBox(0)->maxLength(), QLineEdit().maxLength());
    });
}

void TestForm2::quoteRefusedTypedAndPasted_data()
{
    QTest::addColumn<bool>("nameBox");
    QTest::newRow("path box") << false;
    QTest::newRow("name box") << true;
}

void TestForm2::quoteRefusedTypedAndPasted()
{
    QFETCH(bool, nameBox);
    PlayerHarness h;
    Form1 form(h.services());
    withSettings(form, [&](Form2 &d) {
        QLineEdit *box = nameBox ? d.shortNameBox(3) : d.fullPathBox(3);
        box->setFocus();
        typeText(box, QStringLiteral("a \"b\", c"));
        QCOMPARE(box->text(), QStringLiteral("a b, c"));
        QGuiApplication::clipboard()->setText(QStringLiteral("x\"y"));
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("a b, c"));
        QGuiApplication::clipboard()->setText(QStringLiteral(",z "));
        box->paste();
        QCOMPARE(box->text(), QStringLiteral("a b, c,z "));
    });
}

void TestForm2::chineseNameThroughInputMethod()
{
    PlayerHarness h;
    Form1 form(h.services());
    withSettings(form, [&](Form2 &d) {
        QLineEdit *box = d.shortNameBox(0);
        box->setFocus();
        QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
        QInputMethodEvent preedit(QStringLiteral("tiankong"), {});
        QCoreApplication::sendEvent(box, &preedit);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("天空之城"));
        QCoreApplication::sendEvent(box, &commit);
        QCOMPARE(box->text(), QStringLiteral("天空之城"));
        QTest::mouseClick(button(&d, "CmdExit"), Qt::LeftButton);
    });
    QCOMPARE(form.CmdTrack(0)->text(), QStringLiteral("天空之城"));
}

void TestForm2::noEnterOrEscapeButton()
{
    PlayerHarness h;
    Form1 form(h.services());
    const bool leftOpen = withSettings(form, [&](Form2 &d) {
        for (auto *b : d.findChildren<QPushButton *>()) {
            QVERIFY(!b->autoDefault());
            QVERIFY(!b->isDefault());
        }
        QTest::keyClick(d.fullPathBox(0), Qt::Key_Return);
        QTest::keyClick(d.fullPathBox(0), Qt::Key_Escape);
        button(&d, "CmdExit")->setFocus();
        QTest::keyClick(button(&d, "CmdExit"), Qt::Key_Enter);
        QVERIFY(d.isVisible());
    });
    QVERIFY(leftOpen);
    QVERIFY(h.bindingsBytes().isEmpty());
}

void TestForm2::failedSaveKeepsDialogAndButtons()
{
    PlayerHarness h;
    h.bindingsPath = h.dir.filePath("missing/yygj");
    Form1 form(h.services());
    const QStringList buttonsBefore = captions(form);
    const bool leftOpen = withSettings(form, [&](Form2 &d) {
        d.shortNameBox(0)->setText("edit");
        d.fullPathBox(0)->setText("/edit.mp3");
        QTest::mouseClick(button(&d, "CmdExit"), Qt::LeftButton);
        QVERIFY(d.isVisible());
        QCOMPARE(d.shortNameBox(0)->text(), QString("edit"));
        QCOMPARE(d.fullPathBox(0)->text(), QString("/edit.mp3"));
        QCOMPARE(h.messages.shown().size(), 1);
        QVERIFY(h.messages.shown().first().contains(h.bindingsPath));
    });
    QVERIFY(leftOpen);
    QCOMPARE(captions(form), buttonsBefore);
    QVERIFY(form.isEnabled());
}

void TestForm2::saveOnFullDiskKeepsDialogAndFile()
{
    PlayerHarness h;
    const QByteArray old = record("/old.mp3", "old").repeated(15);
    h.writeBindings(old);
    Form1 form(h.services());
    const QStringList buttonsBefore = captions(form);
    const bool leftOpen = withSettings(form, [&](Form2 &d) {
        d.shortNameBox(0)->setText("edit");
        d.fullPathBox(0)->setText("/edit.mp3");
        {
            const FileSizeLimit full(16);
            QVERIFY(full.isActive());
            QTest::mouseClick(button(&d, "CmdExit"), Qt::LeftButton);
        }
        QVERIFY(d.isVisible());
        QCOMPARE(d.shortNameBox(0)->text(), QString("edit"));
        QCOMPARE(d.fullPathBox(0)->text(), QString("/edit.mp3"));
        QCOMPARE(h.messages.shown().size(), 1);
        QVERIFY(h.messages.shown().first().contains(h.bindingsPath));
        QVERIFY(h.messages.shown().first().contains(QString::fromLocal8Bit(std::strerror(EFBIG))));
    });
    QVERIFY(leftOpen);
    QCOMPARE(h.bindingsBytes(), old);
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"yygj"});
    QCOMPARE(captions(form), buttonsBefore);
}

void TestForm2::aboutStartsNobixAndStaysOpen()
{
    PlayerHarness h;
    h.launcher.failWith(QStringLiteral("无法启动"));
    Form1 form(h.services());
    const bool leftOpen = withSettings(form, [&](Form2 &d) {
        QTest::mouseClick(button(&d, "Command1"), Qt::LeftButton);
        QVERIFY(d.isVisible());
    });
    QVERIFY(leftOpen);
    QCOMPARE(h.launcher.launched(), QStringList{"Nobix.exe"});
    QCOMPARE(h.messages.shown(), QStringList{QStringLiteral("无法启动")});
}

QTEST_MAIN(TestForm2)
#include "tst_Form2.moc"
