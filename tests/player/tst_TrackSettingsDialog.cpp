#include "../platform/ChineseLocale.h"
#include "BindingsFile.h"
#include "FileSizeLimit.h"
#include "PlayerHarness.h"
#include "PlayerMessages.h"
#include "PlayerWindow.h"
#include "SystemErrorText.h"
#include "TrackButton.h"
#include "TrackSettingsDialog.h"
#include "Twips.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <cstring>
#include <functional>

using namespace plovi;

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

// Waits until the save the dialog runs, if any, has ended and been handled.
void waitForSave(const TrackSettingsDialog &d)
{
    QDeadlineTimer deadline(10000);
    while (d.isSaving() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

// Presses "保存并退出" and waits for the save it starts to end.
void saveAndWait(TrackSettingsDialog &d)
{
    QTest::mouseClick(button(&d, "CmdExit"), Qt::LeftButton);
    waitForSave(d);
}

// Opens the settings with "设置", runs act on the shown dialog, and closes it
// with "取消" if act left it open. Returns whether act left it open.
bool withSettings(PlayerWindow &form, const std::function<void(TrackSettingsDialog &)> &act)
{
    bool leftOpen = false;
    QTimer::singleShot(0, &form, [&] {
        TrackSettingsDialog *dialog = form.settingsDialog();
        if (dialog == nullptr || !dialog->isVisible()) {
            return;
        }
        act(*dialog);
        waitForSave(*dialog);
        if (form.settingsDialog() != nullptr && form.settingsDialog()->isVisible()) {
            leftOpen = true;
            QTest::mouseClick(button(form.settingsDialog(), "CmdCancel"), Qt::LeftButton);
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

QStringList captions(const PlayerWindow &form)
{
    QStringList out;
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        out << form.CmdTrack(i)->text() + '|' + form.CmdTrack(i)->tag() + '|' +
                   (form.CmdTrack(i)->isEnabled() ? "on" : "off");
    }
    return out;
}

} // namespace

class TestTrackSettingsDialog : public QObject
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
    void browseFillsPathOnlyWhenPicked();
    void browseRefusesQuote_data();
    void browseRefusesQuote();
    void nameBoxLimit();
    void quoteRefusedTypedAndPasted_data();
    void quoteRefusedTypedAndPasted();
    void chineseNameThroughInputMethod();
    void noEnterOrEscapeButton();
    void failedSaveKeepsDialogAndButtons();
    void saveOnFullDiskKeepsDialogAndFile();
    void installedCopySavesIntoUserFolder();
    void saveFailureSaysWhyInChinese();
    void aboutStartsNobixAndStaysOpen();
    void saveEmitsTheRows();
    void failedSaveOrCancelEmitsNothing_data();
    void failedSaveOrCancelEmitsNothing();
    void setRecordsFillsLeadingRows();
    void unreadableFileReportedBeforeSettingsRun();
    void saveRunsOffTheWindowThread();
    void shortenedNameToldBeforeSaving();
    void noHomeSavesNowhere();
};

void TestTrackSettingsDialog::shownModalCentredWithFocusInFirstPath()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    QVERIFY(!withSettings(form, [&](TrackSettingsDialog &d) {
        QVERIFY(d.isModal());
        QVERIFY(QApplication::activeModalWidget() == &d);
        QCOMPARE(d.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
        QCOMPARE(d.windowType(), Qt::Tool);
        QCOMPARE(d.windowTitle(), QString("Plovi"));
        QVERIFY(d.windowIcon().availableSizes().contains(QSize(16, 16)));
        const QRect screen = d.screen()->geometry();
        QCOMPARE(d.pos(), QPoint(screen.x() + (screen.width() - d.width()) / 2,
                                 screen.y() + (screen.height() - d.height()) / 2));
        QCOMPARE(d.focusWidget(), d.fullPathBox(0));
        QTest::mouseClick(button(&d, "CmdCancel"), Qt::LeftButton);
    }));
    QVERIFY(form.settingsDialog() == nullptr);
}

void TestTrackSettingsDialog::rowLabelsAndLayout()
{
    if (twips::perPixelX() != 15.0 || twips::perPixelY() != 15.0) {
        QSKIP("pixels are for 15 twips per pixel");
    }
    PlayerHarness h;
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) {
        QCOMPARE(d.size(), QSize(536, 317)); // 8040 x 4755 twips
        for (int i = 0; i < kTrackSlots; ++i) {
            auto *label = d.findChild<QLabel *>(QStringLiteral("LblTrackNo_%1").arg(i));
            QCOMPARE(label->text(), QStringLiteral("轨迹 %1").arg(i + 1, 2, 10, QChar('0')));
            // Row i at 480 + 240 i twips: 32 px, then 16 px a row.
            QCOMPARE(d.fullPathBox(int16_t(i))->y(), 32 + 16 * i);
        }
        QCOMPARE(rowButton(&d, "CmdFindTrack", 14)->y(), 258); // 3870 twips
        QCOMPARE(rowButton(&d, "CmdDelete", 14)->y(), 256);    // 3840 twips
        QCOMPARE(button(&d, "CmdExit")->text(), QStringLiteral("保存并退出"));
        QCOMPARE(d.shortNameBox(0)->maxLength(), 20);
    });
}

void TestTrackSettingsDialog::tabOrder()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) {
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

void TestTrackSettingsDialog::settingsReReadsFile()
{
    PlayerHarness h;
    h.writeBindings(record("/old.mp3", "old"));
    PlayerWindow form(h.services());
    h.writeBindings(record("/new.mp3", "new") + record("/two.mp3", "two"));
    withSettings(form, [&](TrackSettingsDialog &d) {
        QCOMPARE(d.fullPathBox(0)->text(), QString("/new.mp3"));
        QCOMPARE(d.shortNameBox(1)->text(), QString("two"));
    });
    QCOMPARE(form.CmdTrack(0)->text(), QString("old"));
}

void TestTrackSettingsDialog::saveWritesFifteenLinesAndRefreshes()
{
    PlayerHarness h;
    h.writeBindings(record("/a.mp3", "a") + record("/b.mp3", "b"));
    PlayerWindow form(h.services());
    QVERIFY(!withSettings(form, [&](TrackSettingsDialog &d) {
        d.shortNameBox(2)->setFocus();
        typeText(d.shortNameBox(2), QStringLiteral("新歌, x"));
        d.fullPathBox(2)->setText(QStringLiteral("/音乐/새 노래.mp3"));
        saveAndWait(d);
    }));
    QVERIFY(form.settingsDialog() == nullptr);
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

void TestTrackSettingsDialog::saveRules_data()
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

void TestTrackSettingsDialog::saveRules()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(bool, enabled);
    PlayerHarness h;
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) {
        d.fullPathBox(6)->setText(path);
        d.shortNameBox(6)->setText(name);
        saveAndWait(d);
    });
    QCOMPARE(form.CmdTrack(6)->text(), caption);
    QCOMPARE(form.CmdTrack(6)->isEnabled(), enabled);
    QCOMPARE(form.CmdTrack(6)->tag(), path);
    const std::vector<TrackBinding> read = BindingsFile(h.bindingsPath).read().value();
    QCOMPARE(read.size(), size_t(kTrackSlots));
    QCOMPARE(read[6], (TrackBinding{path, name}));
}

void TestTrackSettingsDialog::cancelChangesNothing()
{
    PlayerHarness h;
    const QByteArray before = record("/a.mp3", "a");
    h.writeBindings(before);
    PlayerWindow form(h.services());
    const QStringList buttonsBefore = captions(form);
    withSettings(form, [&](TrackSettingsDialog &d) {
        d.shortNameBox(0)->setText("changed");
        d.fullPathBox(4)->setText("/x.mp3");
        QTest::mouseClick(button(&d, "CmdCancel"), Qt::LeftButton);
    });
    QCOMPARE(h.bindingsBytes(), before);
    QCOMPARE(captions(form), buttonsBefore);
    withSettings(form, [&](TrackSettingsDialog &d) {
        QCOMPARE(d.shortNameBox(0)->text(), QString("a"));
        QCOMPARE(d.fullPathBox(4)->text(), QString());
    });
}

void TestTrackSettingsDialog::deleteThenSaveOrCancel_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("then cancel") << false;
    QTest::newRow("then save") << true;
}

void TestTrackSettingsDialog::deleteThenSaveOrCancel()
{
    QFETCH(bool, save);
    PlayerHarness h;
    const QByteArray before = record("/a.mp3", "a") + record("/b.mp3", "b");
    h.writeBindings(before);
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) {
        QTest::mouseClick(rowButton(&d, "CmdDelete", 1), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(1)->text(), QString());
        QCOMPARE(d.shortNameBox(1)->text(), QString());
        QCOMPARE(d.shortNameBox(0)->text(), QString("a"));
        QCOMPARE(form.CmdTrack(1)->text(), QString("b"));
        QTest::mouseClick(button(&d, save ? "CmdExit" : "CmdCancel"), Qt::LeftButton);
    });
    if (save) {
        QCOMPARE(BindingsFile(h.bindingsPath).read().value().at(1), TrackBinding());
        QCOMPARE(form.CmdTrack(1)->text(), QString());
        QVERIFY(!form.CmdTrack(1)->isEnabled());
        QCOMPARE(form.CmdTrack(1)->tag(), QString());
    } else {
        QCOMPARE(h.bindingsBytes(), before);
        QCOMPARE(form.CmdTrack(1)->text(), QString("b"));
        QCOMPARE(form.CmdTrack(1)->tag(), QString("/b.mp3"));
    }
}

// A picked file fills the row's path box; a cancelled browse leaves the box
// as it was, typed or bound. The file dialog starts where the last pick was.
void TestTrackSettingsDialog::browseFillsPathOnlyWhenPicked()
{
    PlayerHarness h;
    h.writeBindings(record("", "") + record("", "") + record("", "") + record("", "") +
                    record("", "") + record("/m/bound.mp3", "bound"));
    PlayerWindow form(h.services());
    h.dialogs->answers = {std::nullopt, QStringLiteral("  /music/a.mp3 "), std::nullopt};
    withSettings(form, [&](TrackSettingsDialog &d) {
        d.fullPathBox(1)->setText("/typed.mp3");
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 1), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(1)->text(), QString("/typed.mp3")); // first browse cancelled
        d.shortNameBox(3)->setText("keep");
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 3), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(3)->text(), QString("/music/a.mp3"));
        QCOMPARE(d.shortNameBox(3)->text(), QString("keep"));
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 5), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(5)->text(), QString("/m/bound.mp3")); // cancelled after a pick
    });
    QCOMPARE(h.dialogs->shown, 3);
    QCOMPARE(h.dialogs->filtersShown.size(), 3);
    QCOMPARE(h.dialogs->filtersShown.count(h.dialogs->filtersShown[0]), 3);
    // MP3 alone first, as always; then every extension that plays; then all files.
    const QStringList filters = h.dialogs->filtersShown[0].split(QStringLiteral(";;"));
    QCOMPARE(filters.size(), 3);
    QCOMPARE(filters[0], QStringLiteral("*.mp3"));
    QVERIFY(filters[1].startsWith(QStringLiteral("所有音频文件 (*.mp3 ")));
    QVERIFY(filters[1].endsWith(QLatin1Char(')')));
    const QStringList audioPatterns =
        filters[1].mid(8).chopped(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const char *pattern : {"*.mp3", "*.flac", "*.ogg", "*.opus", "*.m4a", "*.aac", "*.wma",
                                "*.ape", "*.wv", "*.aiff", "*.wav", "*.mkv", "*.mp4"})
        QVERIFY2(audioPatterns.contains(QLatin1String(pattern)), pattern);
    QCOMPARE(filters[2], QStringLiteral("所有文件 (*)"));
    QCOMPARE(h.dialogs->startedFrom, QStringList({"", "", "  /music/a.mp3 "}));
    const int created = h.dialogs->created;
    withSettings(form, [&](TrackSettingsDialog &d) {
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 5), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(5)->text(), QString("/m/bound.mp3"));
    });
    QCOMPARE(h.dialogs->created, created + 1);
    QCOMPARE(h.dialogs->startedFrom.last(), QString()); // a new loading forgets
}

void TestTrackSettingsDialog::browseRefusesQuote_data()
{
    QTest::addColumn<QString>("picked");
    QTest::newRow("double quote") << "/music/say \"hi\".mp3";
    QTest::newRow("line feed") << "/music/a\nb.mp3";
    QTest::newRow("carriage return") << "/music/a\rb.mp3";
}

void TestTrackSettingsDialog::browseRefusesQuote()
{
    QFETCH(QString, picked);
    PlayerHarness h;
    PlayerWindow form(h.services());
    h.dialogs->answers = {QStringLiteral("/music/ok.mp3"), picked, std::nullopt};
    withSettings(form, [&](TrackSettingsDialog &d) {
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 0), Qt::LeftButton);
        d.fullPathBox(2)->setText("/before.mp3");
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 2), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(2)->text(), QString("/before.mp3"));
        QCOMPARE(h.messages.shown().size(), 1);
        QVERIFY(h.messages.shown().first().contains(picked));
        QTest::mouseClick(rowButton(&d, "CmdFindTrack", 4), Qt::LeftButton);
        QCOMPARE(d.fullPathBox(4)->text(), QString()); // cancelled
    });
    // The refused path is not kept: the next browse starts from the last good one.
    QCOMPARE(h.dialogs->startedFrom, QStringList({"", "/music/ok.mp3", "/music/ok.mp3"}));
}

void TestTrackSettingsDialog::nameBoxLimit()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) {
        d.shortNameBox(0)->setFocus();
        typeText(d.shortNameBox(0), QStringLiteral("一二三四五六七八九十一二三四五六七八九十多"));
        QCOMPARE(d.shortNameBox(0)->text().size(), 20);
        QVERIFY(!d.shortNameBox(0)->text().contains(QStringLiteral("多")));
        QCOMPARE(d.fullPathBox(0)->maxLength(), QLineEdit().maxLength());
    });
}

void TestTrackSettingsDialog::quoteRefusedTypedAndPasted_data()
{
    QTest::addColumn<bool>("nameBox");
    QTest::newRow("path box") << false;
    QTest::newRow("name box") << true;
}

void TestTrackSettingsDialog::quoteRefusedTypedAndPasted()
{
    QFETCH(bool, nameBox);
    PlayerHarness h;
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) {
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

void TestTrackSettingsDialog::chineseNameThroughInputMethod()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) {
        QLineEdit *box = d.shortNameBox(0);
        box->setFocus();
        QVERIFY(box->testAttribute(Qt::WA_InputMethodEnabled));
        QInputMethodEvent preedit(QStringLiteral("tiankong"), {});
        QCoreApplication::sendEvent(box, &preedit);
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("天空之城"));
        QCoreApplication::sendEvent(box, &commit);
        QCOMPARE(box->text(), QStringLiteral("天空之城"));
        saveAndWait(d);
    });
    QCOMPARE(form.CmdTrack(0)->text(), QStringLiteral("天空之城"));
}

void TestTrackSettingsDialog::noEnterOrEscapeButton()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    const bool leftOpen = withSettings(form, [&](TrackSettingsDialog &d) {
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

void TestTrackSettingsDialog::failedSaveKeepsDialogAndButtons()
{
    PlayerHarness h;
    h.bindingsPath = h.dir.filePath("missing/yygj");
    PlayerWindow form(h.services());
    const QStringList buttonsBefore = captions(form);
    const bool leftOpen = withSettings(form, [&](TrackSettingsDialog &d) {
        d.shortNameBox(0)->setText("edit");
        d.fullPathBox(0)->setText("/edit.mp3");
        saveAndWait(d);
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

// An installed copy starts from the seed beside the program, saves into the
// user's configuration folder (created by the save) and reads that from then on.
void TestTrackSettingsDialog::installedCopySavesIntoUserFolder()
{
    PlayerHarness h;
    const QByteArray seed = record("/seed.mp3", "seed").repeated(15);
    h.writeBindings(seed);
    h.bindingsSavePath = h.dir.filePath("config/plovi/yygj");
    PlayerWindow form(h.services());
    QCOMPARE(form.CmdTrack(0)->text(), QString("seed"));
    const bool leftOpen = withSettings(form, [&](TrackSettingsDialog &d) {
        QCOMPARE(d.shortNameBox(0)->text(), QString("seed"));
        d.shortNameBox(0)->setText("mine");
        saveAndWait(d);
    });
    QVERIFY(!leftOpen);
    QVERIFY(h.messages.shown().isEmpty());
    QCOMPARE(h.bindingsBytes(), seed);
    QFile saved(h.bindingsSavePath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().startsWith(record("/seed.mp3", "mine")));
    QCOMPARE(form.CmdTrack(0)->text(), QString("mine"));
    QString reread;
    withSettings(form, [&](TrackSettingsDialog &d) { reread = d.shortNameBox(0)->text(); });
    QCOMPARE(reread, QString("mine"));
}

void TestTrackSettingsDialog::saveOnFullDiskKeepsDialogAndFile()
{
    PlayerHarness h;
    const QByteArray old = record("/old.mp3", "old").repeated(15);
    h.writeBindings(old);
    PlayerWindow form(h.services());
    const QStringList buttonsBefore = captions(form);
    const bool leftOpen = withSettings(form, [&](TrackSettingsDialog &d) {
        d.shortNameBox(0)->setText("edit");
        d.fullPathBox(0)->setText("/edit.mp3");
        {
            const FileSizeLimit full(16);
            QVERIFY(full.isActive());
            saveAndWait(d);
        }
        QVERIFY(d.isVisible());
        QCOMPARE(d.shortNameBox(0)->text(), QString("edit"));
        QCOMPARE(d.fullPathBox(0)->text(), QString("/edit.mp3"));
        QCOMPARE(h.messages.shown().size(), 1);
        QVERIFY(h.messages.shown().first().contains(h.bindingsPath));
        QVERIFY(h.messages.shown().first().contains(systemErrorText(EFBIG)));
    });
    QVERIFY(leftOpen);
    QCOMPARE(h.bindingsBytes(), old);
    QCOMPARE(QDir(h.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"yygj"});
    QCOMPARE(captions(form), buttonsBefore);
}

// The system's reason inside the Chinese message is Chinese too, where the
// system has its messages in Chinese.
void TestTrackSettingsDialog::saveFailureSaysWhyInChinese()
{
    QTemporaryDir locales;
    if (!reachChineseMessages(locales.path())) {
        QSKIP("no zh_CN.UTF-8 locale or no Chinese glibc messages here");
    }
    PlayerHarness h;
    QFile plain(h.dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    h.bindingsPath = h.dir.filePath("plain/yygj"); // its folder is a file: ENOTDIR
    PlayerWindow form(h.services());
    withSettings(form, [&](TrackSettingsDialog &d) { saveAndWait(d); });
    // The file cannot be read either: told at start-up and by "设置".
    const QString readFailed =
        QStringLiteral("无法读取曲目设置文件“%1”：\n不是目录").arg(h.bindingsPath);
    QCOMPARE(h.messages.shown(),
             (QStringList{readFailed, readFailed,
                          QStringLiteral("无法保存曲目设置文件“%1”：\n不是目录\n\n"
                                         "设置没有保存，可以修改后再试。")
                              .arg(h.bindingsPath)}));
}

void TestTrackSettingsDialog::aboutStartsNobixAndStaysOpen()
{
    PlayerHarness h;
    h.launcher.failWith(QStringLiteral("Permission denied"));
    PlayerWindow form(h.services());
    const bool leftOpen = withSettings(form, [&](TrackSettingsDialog &d) {
        QTest::mouseClick(button(&d, "Command1"), Qt::LeftButton);
        QVERIFY(d.isVisible());
    });
    QVERIFY(leftOpen);
    QCOMPARE(h.launcher.launched(), QStringList{"Nobix.exe"});
    QCOMPARE(h.messages.shown(),
             QStringList{QStringLiteral("无法启动程序“Nobix.exe”：Permission denied")});
}

// The dialog on its own, with no main window: a save hands the fifteen rows
// over through saved() and closes.
void TestTrackSettingsDialog::saveEmitsTheRows()
{
    PlayerHarness h;
    TrackSettingsDialog d(h.services(), nullptr);
    std::vector<std::vector<TrackBinding>> emitted;
    connect(&d, &TrackSettingsDialog::saved, &d,
            [&](const std::vector<TrackBinding> &records) { emitted.push_back(records); });
    d.setRecords({{"/a.mp3", "a"}, {"/b.mp3", "b"}});
    d.shortNameBox(14)->setText(QStringLiteral("末"));
    saveAndWait(d);

    std::vector<TrackBinding> expected(kTrackSlots);
    expected[0] = {"/a.mp3", "a"};
    expected[1] = {"/b.mp3", "b"};
    expected[14] = {"", QStringLiteral("末")};
    QCOMPARE(emitted.size(), size_t(1));
    QCOMPARE(emitted.front(), expected);
    QCOMPARE(BindingsFile(h.bindingsPath).read().value(), expected);
    QCOMPARE(d.result(), int(QDialog::Accepted));
}

void TestTrackSettingsDialog::failedSaveOrCancelEmitsNothing_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("messages");
    QTest::newRow("save fails") << "CmdExit" << 1;
    QTest::newRow("cancel") << "CmdCancel" << 0;
}

void TestTrackSettingsDialog::failedSaveOrCancelEmitsNothing()
{
    QFETCH(QString, press);
    QFETCH(int, messages);
    PlayerHarness h;
    h.bindingsPath = h.dir.filePath("missing/yygj");
    TrackSettingsDialog d(h.services(), nullptr);
    int emitted = 0;
    connect(&d, &TrackSettingsDialog::saved, &d, [&] { ++emitted; });
    d.shortNameBox(0)->setText("edit");
    button(&d, press)->click();
    waitForSave(d);
    QCOMPARE(emitted, 0);
    QCOMPARE(h.messages.shown().size(), messages);
}

void TestTrackSettingsDialog::setRecordsFillsLeadingRows()
{
    PlayerHarness h;
    TrackSettingsDialog d(h.services(), nullptr);
    d.fullPathBox(2)->setText("/kept.mp3");
    d.shortNameBox(0)->setText("replaced");
    d.setRecords({{"/a.mp3", ""}, {"", "b"}});
    QCOMPARE(d.fullPathBox(0)->text(), QString("/a.mp3"));
    QCOMPARE(d.shortNameBox(0)->text(), QString());
    QCOMPARE(d.fullPathBox(1)->text(), QString());
    QCOMPARE(d.shortNameBox(1)->text(), QString("b"));
    QCOMPARE(d.fullPathBox(2)->text(), QString("/kept.mp3"));

    std::vector<TrackBinding> twenty(20, TrackBinding{"/p.mp3", "n"});
    twenty[14] = {"/last.mp3", "last"};
    d.setRecords(twenty);
    QCOMPARE(d.fullPathBox(14)->text(), QString("/last.mp3"));
    QCOMPARE(d.shortNameBox(14)->text(), QString("last"));
}

// A read error at "设置" is told before the dialog runs; the start-up one
// comes first, once the event loop runs.
void TestTrackSettingsDialog::unreadableFileReportedBeforeSettingsRun()
{
    PlayerHarness h;
    QVERIFY(QDir(h.dir.path()).mkdir("yygj"));
    PlayerWindow form(h.services());
    form.show();
    QVERIFY(form.settingsDialog() == nullptr);
    QTRY_COMPARE(h.messages.shown().size(), 1);
    int shownWhileOpen = -1;
    withSettings(form,
                 [&](TrackSettingsDialog &) { shownWhileOpen = int(h.messages.shown().size()); });
    QCOMPARE(shownWhileOpen, 2);
    const QString text = QStringLiteral("无法读取曲目设置文件“%1”：\n").arg(h.bindingsPath);
    QVERIFY(h.messages.shown().at(0).startsWith(text));
    QVERIFY(h.messages.shown().at(1).startsWith(text));
    QVERIFY(form.settingsDialog() == nullptr);
}

// While the save runs the dialog says so, takes no input and does not close;
// the result comes back to it through the event loop.
void TestTrackSettingsDialog::saveRunsOffTheWindowThread()
{
    PlayerHarness h;
    TrackSettingsDialog d(h.services(), nullptr);
    d.show();
    d.shortNameBox(0)->setText("edit");
    QTest::mouseClick(button(&d, "CmdExit"), Qt::LeftButton);
    QVERIFY(d.isSaving()); // no event has been handled since the click
    QCOMPARE(button(&d, "CmdExit")->text(), QStringLiteral("正在保存…"));
    QVERIFY(!button(&d, "CmdCancel")->isEnabled() && d.shortNameBox(0)->isReadOnly());
    d.close();
    QVERIFY(d.isVisible());
    QTRY_VERIFY(!d.isVisible());
    QCOMPARE(BindingsFile(h.bindingsPath).read().value().at(0).ShortName, QString("edit"));
}

// A save that would shorten a name longer than its box tells first; a second
// press saves as shown.
void TestTrackSettingsDialog::shortenedNameToldBeforeSaving()
{
    PlayerHarness h;
    const QByteArray longName = "\"/long.mp3\",\"" + QByteArray("\xD2\xBB").repeated(22) + "\"\r\n";
    h.writeBindings(longName); // 22 times 一, D2 BB in GBK
    PlayerWindow form(h.services());
    QVERIFY(!withSettings(form, [&](TrackSettingsDialog &d) {
        d.fullPathBox(0)->setText("/moved.mp3");
        saveAndWait(d);
        QCOMPARE(h.messages.shown().size(), 1);
        QCOMPARE(h.bindingsBytes(), longName);
        saveAndWait(d);
    }));
    QVERIFY(
        h.bindingsBytes().startsWith(record("/moved.mp3", QByteArray("\xD2\xBB").repeated(20))));
}

void TestTrackSettingsDialog::noHomeSavesNowhere()
{
    PlayerHarness h;
    h.savesNowhere = true;
    PlayerWindow form(h.services());
    QVERIFY(withSettings(form, [&](TrackSettingsDialog &d) { saveAndWait(d); }));
    QCOMPARE(h.messages.shown(), QStringList{PlayerMessages::saveNowhere()});
    QVERIFY(!QFileInfo::exists(h.bindingsPath));
}

QTEST_MAIN(TestTrackSettingsDialog)
#include "tst_TrackSettingsDialog.moc"
