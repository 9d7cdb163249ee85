#include "LinkSettings.h"
#include "NobixVariant.h"
#include "TarvelVariant.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using popup::LinkSettings;

class TestLinkSettings : public QObject
{
    Q_OBJECT
  private slots:
    void read_data();
    void read();
    void configFolders_data();
    void configFolders();
    void noHomeFolder();
    void folderOrderFromEnvironment();
    void variantsUseTheSettings();
};

namespace {

const LinkSettings kDefaults{QStringLiteral("build@example.org"), QStringLiteral("构建一"),
                             QStringLiteral("https://one.example.org/"), QStringLiteral("构建二"),
                             QStringLiteral("https://two.example.org/")};

const QByteArray kMissing = "<missing>";
const QByteArray kFolder = "<folder>";
const QByteArray kFifo = "<fifo>";
const QByteArray kZero = "<link to /dev/zero>";
// A valid file one byte longer than inifile's cap.
const QByteArray kTooLong = "[Nobix]\nEmail=a@b.cn\n;" + QByteArray(64 * 1024 - 21, 'x');

const QByteArray kUserFull = "[Nobix]\n"
                             "Email=user@example.com\n"
                             "[Tarvel]\n"
                             "Program1Name=用户播放器\n"
                             "Program1Url=https://user.example.com/one\n"
                             "Program2Name=用户选号\n"
                             "Program2Url=http://user.example.com/two\n";

const QByteArray kSystemFull = "[Nobix]\n"
                               "Email=admin@example.net\n"
                               "[Tarvel]\n"
                               "Program1Name=系统播放器\n"
                               "Program1Url=https://system.example.net/1\n"
                               "Program2Name=系统选号\n"
                               "Program2Url=https://system.example.net/2\n";

QStringList fields(const LinkSettings &s)
{
    return {s.contactEmail, s.program1Name, s.program1Url, s.program2Name, s.program2Url};
}

const QStringList kDefaultFields = fields(kDefaults);
const QStringList kUserFields{QStringLiteral("user@example.com"), QStringLiteral("用户播放器"),
                              QStringLiteral("https://user.example.com/one"),
                              QStringLiteral("用户选号"),
                              QStringLiteral("http://user.example.com/two")};
const QStringList kSystemFields{QStringLiteral("admin@example.net"), QStringLiteral("系统播放器"),
                                QStringLiteral("https://system.example.net/1"),
                                QStringLiteral("系统选号"),
                                QStringLiteral("https://system.example.net/2")};

// kDefaultFields with field i replaced.
QStringList defaultsWith(int i, const QString &value)
{
    QStringList result = kDefaultFields;
    result[i] = value;
    return result;
}

bool place(const QString &folder, const QByteArray &content)
{
    if (content == kMissing) {
        return true;
    }
    const QString dir = folder + QStringLiteral("/plovi");
    const QString path = dir + QStringLiteral("/popup.ini");
    if (content == kFolder || content == kFifo || content == kZero) {
        return content == kFolder ? QDir().mkpath(path)
               : content == kFifo ? QDir().mkpath(dir) && ::mkfifo(qPrintable(path), 0644) == 0
                                  : QDir().mkpath(dir) && QFile::link("/dev/zero", path);
    }
    QFile file(dir + QStringLiteral("/popup.ini"));
    return QDir().mkpath(dir) && file.open(QIODevice::WriteOnly) &&
           file.write(content) == content.size();
}

} // namespace

void TestLinkSettings::read_data()
{
    QTest::addColumn<QByteArray>("user");
    QTest::addColumn<QByteArray>("system1");
    QTest::addColumn<QByteArray>("system2");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("no file: build defaults") << kMissing << kMissing << kMissing << kDefaultFields;
    QTest::newRow("user file") << kUserFull << kMissing << kMissing << kUserFields;
    QTest::newRow("system file") << kMissing << kSystemFull << kMissing << kSystemFields;
    QTest::newRow("user over system") << kUserFull << kSystemFull << kMissing << kUserFields;
    QTest::newRow("first system folder over the second")
        << kMissing << kSystemFull << kUserFull << kSystemFields;
    QTest::newRow("second system folder when the first has none")
        << kMissing << kMissing << kSystemFull << kSystemFields;
    QTest::newRow("key by key")
        << QByteArray("[Nobix]\nEmail=me@example.com\n")
        << QByteArray("[Tarvel]\nProgram2Url=https://sys.example.net/\n")
        << QByteArray("[Tarvel]\nProgram1Name=最后\nProgram2Url=https://late.example.net/\n")
        << QStringList{QStringLiteral("me@example.com"), QStringLiteral("最后"), kDefaultFields[2],
                       kDefaultFields[3], QStringLiteral("https://sys.example.net/")};
    QTest::newRow("unusable user value: the system's")
        << QByteArray("[Nobix]\nEmail=nobody\n") << kSystemFull << kMissing << kSystemFields;
    QTest::newRow("malformed user file counts as missing")
        << QByteArray("[Nobix]\nEmail=me@example.com\nthis line is no setting\n") << kMissing
        << kMissing << kDefaultFields;
    QTest::newRow("malformed user file, system file")
        << QByteArray("[Tarvel]\nProgram1Name=用户\n[Nobix\n") << kSystemFull << kMissing
        << kSystemFields;
    QTest::newRow("setting before any section: malformed")
        << QByteArray("Email=me@example.com\n[Nobix]\nEmail=you@example.com\n") << kMissing
        << kMissing << kDefaultFields;
    QTest::newRow("not UTF-8: malformed")
        << QByteArray("[Tarvel]\nProgram1Name=\xb2\xa5\xb7\xc5\xc6\xf7\n") << kMissing << kMissing
        << kDefaultFields;
    QTest::newRow("popup.ini is a folder") << kFolder << kSystemFull << kMissing << kSystemFields;
    QTest::newRow("binary garbage")
        << QByteArray("\x89PNG\r\n\x1a\n\0\0\0", 11) << kMissing << kMissing << kDefaultFields;
    QTest::newRow("empty values fall back")
        << QByteArray("[Nobix]\nEmail=\n[Tarvel]\nProgram1Name=  \nProgram1Url=\n") << kMissing
        << kMissing << kDefaultFields;
    QTest::newRow("address without @")
        << QByteArray("[Nobix]\nEmail=me.example.com\n") << kMissing << kMissing << kDefaultFields;
    QTest::newRow("address with a space")
        << QByteArray("[Nobix]\nEmail=me @example.com\n") << kMissing << kMissing << kDefaultFields;
    QTest::newRow("address with a tab inside") << QByteArray("[Nobix]\nEmail=me@exa\tmple.com\n")
                                               << kMissing << kMissing << kDefaultFields;
    QTest::newRow("address starting with @")
        << QByteArray("[Nobix]\nEmail=@example.com\n") << kMissing << kMissing << kDefaultFields;
    QTest::newRow("address ending with @")
        << QByteArray("[Nobix]\nEmail=me@\n") << kMissing << kMissing << kDefaultFields;
    QTest::newRow("ftp address") << QByteArray("[Tarvel]\nProgram1Url=ftp://example.com/\n")
                                 << kMissing << kMissing << kDefaultFields;
    QTest::newRow("javascript address") << QByteArray("[Tarvel]\nProgram2Url=javascript:alert(1)\n")
                                        << kMissing << kMissing << kDefaultFields;
    QTest::newRow("address without scheme")
        << QByteArray("[Tarvel]\nProgram1Url=plovi.example.org/\n") << kMissing << kMissing
        << kDefaultFields;
    QTest::newRow("address without host") << QByteArray("[Tarvel]\nProgram1Url=https:///x\n")
                                          << kMissing << kMissing << kDefaultFields;
    QTest::newRow("web address with a space")
        << QByteArray("[Tarvel]\nProgram1Url=https://example.com/a b\n") << kMissing << kMissing
        << kDefaultFields;
    QTest::newRow("scheme in capitals")
        << QByteArray("[Tarvel]\nProgram1Url=HTTPS://Example.com/\n") << kMissing << kMissing
        << defaultsWith(2, QStringLiteral("HTTPS://Example.com/"));
    QTest::newRow("comma, quotes and backslash verbatim")
        << QByteArray("[Tarvel]\nProgram2Name=\"双色球\", 大乐透 \\ 七乐彩\n") << kMissing
        << kMissing << defaultsWith(3, QStringLiteral("\"双色球\", 大乐透 \\ 七乐彩"));
    QTest::newRow("value with '=' and '@' signs")
        << QByteArray("[Tarvel]\nProgram1Url=https://example.com/?a=1&b=@\n") << kMissing
        << kMissing << defaultsWith(2, QStringLiteral("https://example.com/?a=1&b=@"));
    QTest::newRow("any case, spaces, comments, CR LF, BOM")
        << QByteArray("\xef\xbb\xbf; 弹窗\r\n# links\r\n [ nobix ] \r\n\r\n  EMAIL =  a@b.cn  \r\n")
        << kMissing << kMissing << defaultsWith(0, QStringLiteral("a@b.cn"));
    QTest::newRow("key in the other section is ignored")
        << QByteArray("[Tarvel]\nEmail=me@example.com\n[Nobix]\nProgram1Name=错\n") << kMissing
        << kMissing << kDefaultFields;
    QTest::newRow("a key given twice: the last")
        << QByteArray("[Nobix]\nEmail=first@example.com\nEmail=last@example.com\n") << kMissing
        << kMissing << defaultsWith(0, QStringLiteral("last@example.com"));
    QTest::newRow("mailto query after the address")
        << QByteArray("[Nobix]\nEmail=a@b.c?attach=/etc/passwd&cc=evil@x.y\n") << kSystemFull
        << kMissing << kSystemFields;
    for (const char *address :
         {"a&cc=b@c.d", "a%3F@c.d", "a@c.d#x", "a@c.d/x", "a@b..c", "a@b@c"}) {
        QTest::newRow(address) << "[Nobix]\nEmail=" + QByteArray(address) << kMissing << kMissing
                               << kDefaultFields;
    }
    QTest::newRow("FIFO: counts as missing") << kFifo << kSystemFull << kMissing << kSystemFields;
    QTest::newRow("link to /dev/zero") << kZero << kMissing << kMissing << kDefaultFields;
    QTest::newRow("longer than the cap") << kTooLong << kMissing << kMissing << kDefaultFields;
    QTest::newRow("as long as the cap")
        << kTooLong.chopped(1) << kMissing << kMissing << defaultsWith(0, QStringLiteral("a@b.cn"));
    QTest::newRow("no final line end") << QByteArray("[Tarvel]\nProgram2Name=末行") << kMissing
                                       << kMissing << defaultsWith(3, QStringLiteral("末行"));
}

void TestLinkSettings::read()
{
    QFETCH(QByteArray, user);
    QFETCH(QByteArray, system1);
    QFETCH(QByteArray, system2);
    QFETCH(QStringList, expected);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QStringList folders{root.filePath(QStringLiteral("home-config")),
                              root.filePath(QStringLiteral("xdg1")),
                              root.filePath(QStringLiteral("xdg2"))};
    QVERIFY(place(folders[0], user));
    QVERIFY(place(folders[1], system1));
    QVERIFY(place(folders[2], system2));

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(fields(LinkSettings::read(kDefaults, folders)), expected);
    QVERIFY2(timer.elapsed() < 1000, "the read waited on a file");
}

void TestLinkSettings::configFolders_data()
{
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("xdgConfigDirs");
    QTest::addColumn<QStringList>("expected");
    const QString home = QStringLiteral("/home/li/.config");
    QTest::newRow("nothing set") << QString() << QString()
                                 << QStringList{home, QStringLiteral("/etc/xdg")};
    QTest::newRow("both set") << QStringLiteral("/cfg") << QStringLiteral("/a:/b")
                              << QStringList{QStringLiteral("/cfg"), QStringLiteral("/a"),
                                             QStringLiteral("/b")};
    QTest::newRow("relative home ignored")
        << QStringLiteral("cfg") << QString() << QStringList{home, QStringLiteral("/etc/xdg")};
    QTest::newRow("empty and relative entries skipped")
        << QString() << QStringLiteral(":/a::rel:./x:/b/")
        << QStringList{home, QStringLiteral("/a"), QStringLiteral("/b")};
    QTest::newRow("no absolute entry: /etc/xdg")
        << QString() << QStringLiteral("rel:") << QStringList{home, QStringLiteral("/etc/xdg")};
    QTest::newRow("empty: /etc/xdg")
        << QString() << QStringLiteral("") << QStringList{home, QStringLiteral("/etc/xdg")};
}

void TestLinkSettings::configFolders()
{
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, xdgConfigDirs);
    QFETCH(QStringList, expected);
    QCOMPARE(LinkSettings::configFolders(xdgConfigHome, xdgConfigDirs, QStringLiteral("/home/li")),
             expected);
}

// No home folder, and the root is none: the system's folders alone.
void TestLinkSettings::noHomeFolder()
{
    QCOMPARE(LinkSettings::configFolders({}, {}, {}), QStringList{"/etc/xdg"});
    QCOMPARE(LinkSettings::configFolders({}, "/a", "/"), QStringList{"/a"});
}

// The environment's folders in use: the user's file over the system's.
void TestLinkSettings::folderOrderFromEnvironment()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString user = root.filePath(QStringLiteral("user"));
    const QString system = root.filePath(QStringLiteral("system"));
    QVERIFY(place(user, "[Nobix]\nEmail=user@example.com\n"));
    QVERIFY(place(system, "[Nobix]\nEmail=admin@example.net\n[Tarvel]\nProgram1Name=系统\n"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(user));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(system));
    const LinkSettings settings =
        LinkSettings::read(kDefaults, LinkSettings::configFoldersFromEnvironment());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_DIRS");
    QCOMPARE(settings.contactEmail, QStringLiteral("user@example.com"));
    QCOMPARE(settings.program1Name, QStringLiteral("系统"));
    QCOMPARE(settings.program2Name, kDefaults.program2Name);
}

// The pop-ups' links: the build options (the defaults the README lists) until
// an INI file in the user's configuration folder says otherwise.
void TestLinkSettings::variantsUseTheSettings()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString user = root.filePath(QStringLiteral("user"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(user));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root.filePath(QStringLiteral("none"))));
    const QString builtMail = popup::NobixVariant::contactLink();
    const QString builtName = popup::TarvelVariant::program1Name();
    const QString builtLink = popup::TarvelVariant::program2Link();
    QVERIFY(place(user, "[Nobix]\nEmail=desk@example.com\n[Tarvel]\nProgram1Name=我的播放器\n"
                        "Program2Url=https://example.com/two\n"));
    const QString setMail = popup::NobixVariant::contactLink();
    const QString setName = popup::TarvelVariant::program1Name();
    const QString setLink = popup::TarvelVariant::program2Link();
    const QString keptLink = popup::TarvelVariant::program1Link();
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_DIRS");

    QCOMPARE(builtMail, QStringLiteral("mailto:plovi@example.org"));
    QCOMPARE(builtName, QStringLiteral("Plovi 播放器"));
    QCOMPARE(builtLink, QStringLiteral("https://xuanhao.example.org/"));
    QCOMPARE(setMail, QStringLiteral("mailto:desk@example.com"));
    QCOMPARE(setName, QStringLiteral("我的播放器"));
    QCOMPARE(setLink, QStringLiteral("https://example.com/two"));
    QCOMPARE(keptLink, QStringLiteral("https://plovi.example.org/"));
}

QTEST_GUILESS_MAIN(TestLinkSettings)
#include "tst_LinkSettings.moc"
