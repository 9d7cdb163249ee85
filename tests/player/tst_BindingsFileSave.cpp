#include "BindingsFile.h"
#include "BindingsFileSave.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using namespace plovi;

namespace {

constexpr qsizetype kNameLength = 20;
const QByteArray kEmptyRow = "\"\",\"\"\r\n";

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The rows a dialog filled from records shows: fifteen, names cut to what a
// name box holds.
std::vector<TrackBinding> shown(std::vector<TrackBinding> records)
{
    records.resize(kTrackSlots);
    for (TrackBinding &r : records) {
        r.ShortName = r.ShortName.left(kNameLength);
    }
    return records;
}

// One line of a generated file: its bytes and, known apart from the reader,
// the record they stand for.
struct Piece
{
    QByteArray bytes;
    TrackBinding record;
};

// Lines of the kinds found in the wild, each with its line end.
Piece randomPiece(QRandomGenerator &random, int i)
{
    const QByteArray n = QByteArray::number(i);
    const QString s = QString::number(i);
    const QByteArray end = random.bounded(4) == 0 ? "\n" : "\r\n";
    switch (random.bounded(8)) {
    case 0:
        return {"\"/m/" + n + ".mp3\",\"n" + n + "\"" + end, {"/m/" + s + ".mp3", "n" + s}};
    case 1: // a double quote inside unquoted fields
        return {"/m/a\"" + n + ".mp3,q\"" + n + end, {"/m/a\"" + s + ".mp3", "q\"" + s}};
    case 2: // a path alone on its line
        return {"\"/lone" + n + ".mp3\"" + end, {"/lone" + s + ".mp3", ""}};
    case 3: // bytes that are not GB18030
        return {"\"/\xFF" + n + "\",\"n\x80\"" + end, {"/\uFFFD" + s, "n\uFFFD"}};
    case 4: // GBK text
        return {"\"/\xD2\xF4\xC0\xD6" + n + "\",\"\xC4\xE3\xBA\xC3\"" + end,
                {QStringLiteral("/音乐") + s, QStringLiteral("你好")}};
    case 5: // a name longer than a box shows
        return {"\"/long" + n + "\",\"" + QByteArray(25, 'L') + n + "\"" + end,
                {"/long" + s, QString(25, u'L') + s}};
    case 6: // text after the name, spaces before the fields
        return {"  \"/t" + n + "\",  \"t\"junk,more" + end, {"/t" + s, "t"}};
    default: // an empty record
        return {kEmptyRow, {}};
    }
}

// A row as the user might type it: mostly storable, sometimes not.
TrackBinding randomEdit(QRandomGenerator &random, int i)
{
    const QString s = QString::number(i);
    switch (random.bounded(6)) {
    case 0:
        return {"/edit\"" + s + ".mp3", "e"}; // goes bare
    case 1:
        return {"\"/edit" + s, "e"}; // cannot: a leading quote
    case 2:
        return {"/e\"d,it" + s, "e"}; // cannot: quote and comma
    case 3:
        return {QStringLiteral("/编辑/") + s + ".mp3", QStringLiteral(" 名 ") + s};
    case 4:
        return {"", ""};
    default:
        return {"/edit" + s + ".mp3", "e" + s};
    }
}

} // namespace

class TestBindingsFileSave : public QObject
{
    Q_OBJECT
  private slots:
    void formatLine_data();
    void formatLine();
    void planKeepsUntouchedRows_data();
    void planKeepsUntouchedRows();
    void planOfGeneratedFiles();
    void shortenedNamesAreTold();
    void saveTellsBeforeShortening();
    void unwritableRowKeepsTheFile();
    void fileLongerThanTheReadLimitIsTold();
    void missingFolderCreatedOnlyWhenAsked();
};

void TestBindingsFileSave::formatLine_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected"); // empty: cannot be written
    QTest::newRow("quoted") << "/a.mp3"
                            << "a" << QByteArray("\"/a.mp3\",\"a\"\r\n");
    QTest::newRow("quote in the path goes bare")
        << "/music/a\"b.mp3"
        << "new" << QByteArray("/music/a\"b.mp3,\"new\"\r\n");
    QTest::newRow("quote in the name goes bare")
        << "/p"
        << "say \"hi\"" << QByteArray("\"/p\",say \"hi\"\r\n");
    QTest::newRow("quote and comma") << "/a\"b,c"
                                     << "n" << QByteArray();
    QTest::newRow("leading quote") << "\"/a"
                                   << "n" << QByteArray();
    QTest::newRow("quote after a leading space") << " /a\"b"
                                                 << "n" << QByteArray();
    QTest::newRow("line break, quoted") << "/a"
                                        << "x\ny" << QByteArray("\"/a\",\"x\ny\"\r\n");
    QTest::newRow("line break and quote") << "/a"
                                          << "x\"\ny" << QByteArray();
    QTest::newRow("unpaired surrogate") << QString(QChar(0xD800)) << "n" << QByteArray();
    QTest::newRow("Chinese in GBK") << QStringLiteral("/音乐") << QStringLiteral("你好")
                                    << QByteArray("\"/\xD2\xF4\xC0\xD6\",\"\xC4\xE3\xBA\xC3\"\r\n");
}

void TestBindingsFileSave::formatLine()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    const std::optional<QByteArray> line = BindingsFile::formatLine({path, name});
    QCOMPARE(line.value_or(QByteArray()), expected);
}

void TestBindingsFileSave::planKeepsUntouchedRows_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray hostile = "\xEF\xBB\xBF\"/music/\xFF.mp3\",\"bad\x81\"\r\n"
                               "/music/a\"b.mp3,qname\r\n"
                               "\"/lone.mp3\"\r\n"
                               "\"/d.mp3\",\"d\"\n";
    QTest::newRow("hostile file, a new row after it")
        << hostile << 4 << "/new.mp3"
        << "new" << hostile + "\"/new.mp3\",\"new\"\r\n" + kEmptyRow.repeated(10);
    QTest::newRow("hostile file, the quoted row's name edited")
        << hostile << 1 << "/music/a\"b.mp3"
        << "q2"
        << QByteArray("\xEF\xBB\xBF\"/music/\xFF.mp3\",\"bad\x81\"\r\n"
                      "/music/a\"b.mp3,\"q2\"\r\n"
                      "\"/lone.mp3\"\r\n"
                      "\"/d.mp3\",\"d\"\n") +
               kEmptyRow.repeated(11);
    QTest::newRow("last line without line end")
        << QByteArray("\"a\",\"1\"") << 1 << "b"
        << "2" << QByteArray("\"a\",\"1\"\r\n\"b\",\"2\"\r\n") + kEmptyRow.repeated(13);
    QTest::newRow("a quote left open takes no new row in")
        << QByteArray("\"a\",\"na,me") << 1 << "b"
        << "2" << QByteArray("\"a\",\"na,me\"\r\n\"b\",\"2\"\r\n") + kEmptyRow.repeated(13);
    QTest::newRow("byte-order mark alone")
        << QByteArray("\xEF\xBB\xBF") << 0 << "a"
        << "1" << QByteArray("\xEF\xBB\xBF\"a\",\"1\"\r\n") + kEmptyRow.repeated(14);
    QTest::newRow("blank lines between records kept")
        << QByteArray("\"a\",\"1\"\r\n\r\n \t\r\n\"b\",\"2\"\r\n") << 0 << "a"
        << "x" << QByteArray("\"a\",\"x\"\r\n\r\n \t\r\n\"b\",\"2\"\r\n") + kEmptyRow.repeated(13);
    QTest::newRow("blank lines after the last record dropped")
        << QByteArray("\"a\",\"1\"\r\n\r\n\r\n") << 14 << "o"
        << "" << QByteArray("\"a\",\"1\"\r\n") + kEmptyRow.repeated(13) + "\"o\",\"\"\r\n";
    QByteArray seventeen;
    QByteArray seventeenEdited;
    for (int i = 0; i < 17; ++i) {
        const QByteArray line = "\"p" + QByteArray::number(i) + "\",\"n\"\r\n";
        seventeen += line;
        seventeenEdited += i == 3 ? QByteArray("\"x\",\"y\"\r\n") : line;
    }
    QTest::newRow("records past the fifteenth kept") << seventeen << 3 << "x"
                                                     << "y" << seventeenEdited;
    QTest::newRow("sixteenth record after a last row without line end")
        << QByteArray("\"a\",\"1\"\r\n").repeated(15) + "\"z\",\"26\"" << 14 << "b"
        << "2" << QByteArray("\"a\",\"1\"\r\n").repeated(14) + "\"b\",\"2\"\r\n\"z\",\"26\"";
}

void TestBindingsFileSave::planKeepsUntouchedRows()
{
    QFETCH(QByteArray, old);
    QFETCH(int, row);
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QByteArray, expected);
    std::vector<TrackBinding> rows = shown(BindingsFile::parse(old));
    rows[row] = {path, name};
    const BindingsFile::Plan plan = BindingsFile::plan(old, rows, kNameLength);
    QCOMPARE(plan.unwritable, std::vector<int16_t>{});
    QCOMPARE(plan.bytes, expected);
}

// Files of every kind of line, with some rows edited: each row reads back as
// the dialog showed it (untouched ones with their whole name), each untouched
// row's bytes are the old ones, and a save is refused only for rows no line
// can carry.
void TestBindingsFileSave::planOfGeneratedFiles()
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 400; ++round) {
        const bool bom = random.bounded(4) == 0;
        QByteArray old = bom ? QByteArray("\xEF\xBB\xBF") : QByteArray();
        std::vector<Piece> pieces;
        const int count = static_cast<int>(random.bounded(19));
        for (int i = 0; i < count; ++i) {
            if (random.bounded(5) == 0) {
                old += random.bounded(2) == 0 ? "\r\n" : "  \n";
            }
            pieces.push_back(randomPiece(random, i));
            old += pieces.back().bytes;
        }
        const bool openEnd = count > 0 && random.bounded(3) == 0;
        if (openEnd) {
            while (old.endsWith('\n') || old.endsWith('\r')) {
                old.chop(1);
            }
        }
        std::vector<TrackBinding> known;
        for (size_t i = 0; i < pieces.size() && i < size_t(kTrackSlots); ++i) {
            known.push_back(pieces[i].record);
        }
        QCOMPARE(BindingsFile::parse(old), known);

        std::vector<TrackBinding> rows = shown(known);
        std::vector<bool> edited(kTrackSlots, false);
        for (int e = static_cast<int>(random.bounded(4)); e > 0; --e) {
            const int k = static_cast<int>(random.bounded(kTrackSlots));
            rows[k] = randomEdit(random, k);
            edited[k] = rows[k] != shown(known)[k];
        }
        const BindingsFile::Plan plan = BindingsFile::plan(old, rows, kNameLength);

        std::vector<int16_t> cannot;
        for (int16_t k = 0; k < kTrackSlots; ++k) {
            if (edited[k] && !BindingsFile::formatLine(rows[k])) {
                cannot.push_back(k);
            }
        }
        QCOMPARE(plan.unwritable, cannot);
        if (!cannot.empty()) {
            continue;
        }
        const std::vector<BindingsFile::Line> back = BindingsFile::lines(plan.bytes);
        QCOMPARE(back.size(), size_t(kTrackSlots));
        const std::vector<BindingsFile::Line> before = BindingsFile::lines(old);
        for (size_t k = 0; k < size_t(kTrackSlots); ++k) {
            if (edited[k] || k >= known.size()) {
                QCOMPARE(back[k].record, rows[k]);
                continue;
            }
            QCOMPARE(back[k].record, known[k]);
            const QByteArray was = old.mid(before[k].begin, before[k].end - before[k].begin);
            const QByteArray now = plan.bytes.mid(back[k].begin, back[k].end - back[k].begin);
            QVERIFY2(now == was || now == was + "\r\n", qPrintable(QString::number(round)));
        }
        if (pieces.size() > size_t(kTrackSlots)) {
            QVERIFY(plan.bytes.trimmed().endsWith(pieces.back().bytes.trimmed()));
        }
        QCOMPARE(plan.bytes.startsWith("\xEF\xBB\xBF"), bom);
    }
}

void TestBindingsFileSave::shortenedNamesAreTold()
{
    const QByteArray old = "\"/a\",\"" + QByteArray(25, 'A') + "\"\r\n\"/b\",\"" +
                           QByteArray(25, 'B') + "\"\r\n\"/c\",\"" + QByteArray(21, 'C') + "\"\r\n";
    std::vector<TrackBinding> rows = shown(BindingsFile::parse(old));
    rows[0].FullPath = "/a2";              // name left as shown: shortened
    rows[1].ShortName = "mine";            // the user's own new name
    rows[2].ShortName = QString(20, u'c'); // also the user's
    const BindingsFile::Plan plan = BindingsFile::plan(old, rows, kNameLength);
    QCOMPARE(plan.shortened, std::vector<int16_t>{0});
    QCOMPARE(plan.bytes.left(plan.bytes.indexOf('\n') + 1),
             "\"/a2\",\"" + QByteArray(20, 'A') + "\"\r\n");
}

void TestBindingsFileSave::saveTellsBeforeShortening()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const QByteArray old = "\"/a\",\"" + QByteArray(25, 'A') + "\"\r\n\"/b\",\"b\"\r\n";
    QVERIFY(writeBytes(path, old));
    std::vector<TrackBinding> rows = shown(BindingsFile::parse(old));

    // Untouched, the long name is kept whole.
    BindingsFileSave::Outcome outcome =
        BindingsFileSave::run({path, path, false, rows, kNameLength, false});
    QCOMPARE(outcome.status, BindingsFileSave::Status::Saved);
    QCOMPARE(readBytes(path), old + kEmptyRow.repeated(13));
    QCOMPARE(outcome.records.at(0).ShortName, QString(25, u'A'));

    rows[0].FullPath = "/a2";
    outcome = BindingsFileSave::run({path, path, false, rows, kNameLength, false});
    QCOMPARE(outcome.status, BindingsFileSave::Status::WouldChange);
    QCOMPARE(outcome.rows, std::vector<int16_t>{0});
    QVERIFY(!outcome.cut);
    QCOMPARE(readBytes(path), old + kEmptyRow.repeated(13));

    outcome = BindingsFileSave::run({path, path, false, rows, kNameLength, true});
    QCOMPARE(outcome.status, BindingsFileSave::Status::Saved);
    QCOMPARE(readBytes(path), "\"/a2\",\"" + QByteArray(20, 'A') + "\"\r\n\"/b\",\"b\"\r\n" +
                                  kEmptyRow.repeated(13));
    QCOMPARE(outcome.records.size(), size_t(kTrackSlots));
}

void TestBindingsFileSave::unwritableRowKeepsTheFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const QByteArray old = "/music/a\"b.mp3,qname\r\n";
    QVERIFY(writeBytes(path, old));
    std::vector<TrackBinding> rows = shown(BindingsFile::parse(old));
    rows[0].FullPath += ",2";
    rows[3] = {"\"/x", "x"};
    const BindingsFileSave::Outcome outcome =
        BindingsFileSave::run({path, path, false, rows, kNameLength, true});
    QCOMPARE(outcome.status, BindingsFileSave::Status::Unwritable);
    QCOMPARE(outcome.rows, (std::vector<int16_t>{0, 3}));
    QCOMPARE(readBytes(path), old);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"yygj"});
}

void TestBindingsFileSave::fileLongerThanTheReadLimitIsTold()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const QByteArray old = QByteArray("\"/p\",\"n\"\r\n").repeated(15) +
                           QByteArray("\"/more\",\"m\"\r\n").repeated(90000);
    QVERIFY(old.size() > BindingsFile::kReadLimit);
    QVERIFY(writeBytes(path, old));
    std::vector<TrackBinding> rows = shown(BindingsFile::parse(old));
    rows[0].ShortName = "edit";
    BindingsFileSave::Outcome outcome =
        BindingsFileSave::run({path, path, false, rows, kNameLength, false});
    QCOMPARE(outcome.status, BindingsFileSave::Status::WouldChange);
    QVERIFY(outcome.cut);
    QCOMPARE(readBytes(path), old);
    outcome = BindingsFileSave::run({path, path, false, rows, kNameLength, true});
    QCOMPARE(outcome.status, BindingsFileSave::Status::Saved);
    const QByteArray now = readBytes(path);
    QCOMPARE(now.size(), BindingsFile::kReadLimit + 3); // "edit" for "n"
    QVERIFY(now.startsWith("\"/p\",\"edit\"\r\n\"/p\",\"n\"\r\n"));
}

void TestBindingsFileSave::missingFolderCreatedOnlyWhenAsked()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config/plovi/yygj");
    const std::vector<TrackBinding> rows(kTrackSlots);
    BindingsFileSave::Outcome outcome =
        BindingsFileSave::run({path, path, false, rows, kNameLength, false});
    QCOMPARE(outcome.status, BindingsFileSave::Status::Failed);
    QVERIFY(!outcome.reason.isEmpty());
    QVERIFY(!QFileInfo::exists(dir.filePath("config")));
    outcome = BindingsFileSave::run({path, path, true, rows, kNameLength, false});
    QCOMPARE(outcome.status, BindingsFileSave::Status::Saved);
    QCOMPARE(readBytes(path), kEmptyRow.repeated(15));
}

QTEST_GUILESS_MAIN(TestBindingsFileSave)
#include "tst_BindingsFileSave.moc"
