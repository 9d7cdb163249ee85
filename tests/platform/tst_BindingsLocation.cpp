#include "AppPaths.h"
#include "BindingsLocation.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

class TestBindingsLocation : public QObject
{
    Q_OBJECT
  private slots:
    void rule_data();
    void rule();
    void configHome_data();
    void configHome();
    void withoutHome();
    void homeFolder();
    void portableFolderOnDisk();
    void markerOnDisk();
    void readOnlyFolderOnDisk();
};

namespace {

const QString kProgramDir = QStringLiteral("/opt/plovi");
const QString kBeside = QStringLiteral("/opt/plovi/yygj");
const QString kMarker = QStringLiteral("/opt/plovi/plovi.installed");
const QString kHome = QStringLiteral("/home/li");
const QString kUserFile = QStringLiteral("/home/li/.config/plovi/yygj");

} // namespace

void TestBindingsLocation::rule_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("readPath");
    QTest::addColumn<QString>("savePath");
    QTest::addColumn<bool>("installed");

    QTest::newRow("writable folder: beside the program")
        << true << QString() << QStringList{kBeside} << kBeside << kBeside << false;
    QTest::newRow("writable folder ignores the user's file")
        << true << QString() << QStringList{kUserFile} << kBeside << kBeside << false;
    QTest::newRow("read-only folder, user file")
        << false << QString() << QStringList{kUserFile, kBeside} << kUserFile << kUserFile << true;
    QTest::newRow("read-only folder, only the seed beside")
        << false << QString() << QStringList{kBeside} << kBeside << kUserFile << true;
    QTest::newRow("read-only folder, no file at all")
        << false << QString() << QStringList{} << kUserFile << kUserFile << true;
    QTest::newRow("marker in a writable folder (root)")
        << true << QString() << QStringList{kMarker, kBeside} << kBeside << kUserFile << true;
    QTest::newRow("marker, user file (root)")
        << true << QString() << QStringList{kMarker, kBeside, kUserFile} << kUserFile << kUserFile
        << true;
    QTest::newRow("XDG_CONFIG_HOME absolute")
        << false << QStringLiteral("/srv/cfg") << QStringList{}
        << QStringLiteral("/srv/cfg/plovi/yygj") << QStringLiteral("/srv/cfg/plovi/yygj") << true;
    QTest::newRow("XDG_CONFIG_HOME absolute, user file there")
        << false << QStringLiteral("/srv/cfg/")
        << QStringList{QStringLiteral("/srv/cfg/plovi/yygj"), kBeside}
        << QStringLiteral("/srv/cfg/plovi/yygj") << QStringLiteral("/srv/cfg/plovi/yygj") << true;
    QTest::newRow("XDG_CONFIG_HOME absolute, file only under ~/.config")
        << false << QStringLiteral("/srv/cfg") << QStringList{kUserFile, kBeside} << kBeside
        << QStringLiteral("/srv/cfg/plovi/yygj") << true;
    QTest::newRow("XDG_CONFIG_HOME relative is ignored")
        << false << QStringLiteral("cfg") << QStringList{QStringLiteral("cfg/plovi/yygj")}
        << kUserFile << kUserFile << true;
    QTest::newRow("XDG_CONFIG_HOME dot is ignored")
        << false << QStringLiteral(".") << QStringList{kBeside} << kBeside << kUserFile << true;
}

void TestBindingsLocation::rule()
{
    QFETCH(bool, writable);
    QFETCH(QString, xdgConfigHome);
    QFETCH(QStringList, files);
    QFETCH(QString, readPath);
    QFETCH(QString, savePath);
    QFETCH(bool, installed);

    const QSet<QString> existing(files.cbegin(), files.cend());
    const BindingsLocation location = BindingsLocation::resolve(
        {kProgramDir, writable, xdgConfigHome, kHome},
        [&existing](const QString &path) { return existing.contains(path); });
    QCOMPARE(location.readPath(), readPath);
    QCOMPARE(location.savePath(), savePath);
    QCOMPARE(location.installed(), installed);
}

void TestBindingsLocation::configHome_data()
{
    QTest::addColumn<QString>("xdgConfigHome");
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("expected");
    QTest::newRow("unset") << QString() << kHome << QStringLiteral("/home/li/.config");
    QTest::newRow("empty") << QStringLiteral("") << kHome << QStringLiteral("/home/li/.config");
    QTest::newRow("relative") << QStringLiteral("my/config") << kHome
                              << QStringLiteral("/home/li/.config");
    QTest::newRow("absolute") << QStringLiteral("/tmp/c") << kHome << QStringLiteral("/tmp/c");
    QTest::newRow("absolute with trailing slash")
        << QStringLiteral("/tmp/c/") << kHome << QStringLiteral("/tmp/c");
    QTest::newRow("home is the root") << QString() << QStringLiteral("/") << QString();
    QTest::newRow("no home") << QString() << QString() << QString();
    QTest::newRow("no home, XDG_CONFIG_HOME absolute")
        << QStringLiteral("/srv/cfg") << QString() << QStringLiteral("/srv/cfg");
}

void TestBindingsLocation::configHome()
{
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, home);
    QFETCH(QString, expected);
    QCOMPARE(userConfigHome(xdgConfigHome, home), expected);
}

// No home folder: an installed copy reads the seed beside it and saves nowhere.
void TestBindingsLocation::withoutHome()
{
    const BindingsLocation location =
        BindingsLocation::resolve({kProgramDir, false, QString(), QStringLiteral("/")},
                                  [](const QString &path) { return path == kBeside; });
    QCOMPARE(location.readPath(), kBeside);
    QCOMPARE(location.savePath(), QString());
}

// $HOME first, then the password entry; neither may be the root.
void TestBindingsLocation::homeFolder()
{
    QCOMPARE(homeFolderFrom("/home/li/", "/home/other"), QStringLiteral("/home/li"));
    QCOMPARE(homeFolderFrom("", "/root"), QStringLiteral("/root"));
    QCOMPARE(homeFolderFrom("/", "/var/lib/li"), QStringLiteral("/var/lib/li"));
    QCOMPARE(homeFolderFrom("li", "/"), QString());
}

// The real file system: a folder of our own with nothing in it is portable.
void TestBindingsLocation::portableFolderOnDisk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const BindingsLocation location = BindingsLocation::forProgramDir(dir.path());
    QVERIFY(!location.installed());
    QCOMPARE(location.readPath(), dir.path() + QStringLiteral("/yygj"));
    QCOMPARE(location.savePath(), dir.path() + QStringLiteral("/yygj"));
}

// The marker makes a copy installed even for root; the seed beside it is read
// until the user's own file exists.
void TestBindingsLocation::markerOnDisk()
{
    QTemporaryDir programs;
    QTemporaryDir config;
    QVERIFY(programs.isValid() && config.isValid());
    QFile marker(programs.filePath(QStringLiteral("plovi.installed")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QFile seed(programs.filePath(QStringLiteral("yygj")));
    QVERIFY(seed.open(QIODevice::WriteOnly));
    seed.close();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));

    const QString userFile = config.path() + QStringLiteral("/plovi/yygj");
    BindingsLocation location = BindingsLocation::forProgramDir(programs.path());
    QVERIFY(location.installed());
    QCOMPARE(location.readPath(), programs.path() + QStringLiteral("/yygj"));
    QCOMPARE(location.savePath(), userFile);

    QVERIFY(QDir().mkpath(config.path() + QStringLiteral("/plovi")));
    QFile user(userFile);
    QVERIFY(user.open(QIODevice::WriteOnly));
    user.close();
    location = BindingsLocation::forProgramDir(programs.path());
    QCOMPARE(location.readPath(), userFile);
    QCOMPARE(location.savePath(), userFile);
    qunsetenv("XDG_CONFIG_HOME");
}

// A folder this process may not write, without a marker, is an installed copy.
void TestBindingsLocation::readOnlyFolderOnDisk()
{
    if (::geteuid() == 0) {
        QSKIP("root may write any folder; the marker decides for root (markerOnDisk)");
    }
    QTemporaryDir programs;
    QVERIFY(programs.isValid());
    QVERIFY(QFile::setPermissions(programs.path(), QFile::ReadOwner | QFile::ExeOwner));
    qputenv("XDG_CONFIG_HOME", "/nonexistent/cfg");
    const BindingsLocation location = BindingsLocation::forProgramDir(programs.path());
    QVERIFY(QFile::setPermissions(programs.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(location.installed());
    QCOMPARE(location.savePath(), QStringLiteral("/nonexistent/cfg/plovi/yygj"));
    QCOMPARE(location.readPath(), QStringLiteral("/nonexistent/cfg/plovi/yygj"));
}

QTEST_GUILESS_MAIN(TestBindingsLocation)
#include "tst_BindingsLocation.moc"
