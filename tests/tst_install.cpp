#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// cmake --install into a fresh prefix: the program and its tools, the menu entry, the icon in
// every size and the software-centre description, each checked as the desktop checks them; the
// README and the pages it links to.
class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void programAndToolsRunFromThePrefix();
    void menuEntry();
    void iconInEverySize();
    void metainfo();
    void documentationLinksResolve();

private:
    QTemporaryDir m_prefix;
    QString path(const QString& inside) const { return QDir(m_prefix.path()).filePath(inside); }
};

namespace {

const QString AppId = QStringLiteral("cn.vandrel_soft.Ledger");

struct Run {
    int code = -1;
    QString out;
};

Run run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAll());
    return r;
}

// The keys of a desktop entry's [Desktop Entry] group (';' is no comment there, as it is for QSettings).
QMap<QString, QString> desktopEntry(const QString& file) {
    QMap<QString, QString> keys;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    bool inGroup = false;
    for (const QString& line : QString::fromUtf8(f.readAll()).split('\n')) {
        if (line.startsWith('['))
            inGroup = line == "[Desktop Entry]";
        else if (inGroup && line.contains('=') && !line.startsWith('#'))
            keys.insert(line.section('=', 0, 0), line.section('=', 1));
    }
    return keys;
}

// Width and height of a PNG file, from its header.
QSize pngSize(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray head = f.read(24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return {};
    auto number = [&](int at) {
        return (uchar(head[at]) << 24) | (uchar(head[at + 1]) << 16) | (uchar(head[at + 2]) << 8) |
               uchar(head[at + 3]);
    };
    return QSize(number(16), number(20));
}

} // namespace

void TestInstall::initTestCase() {
    QVERIFY(m_prefix.isValid());
    const Run install =
        run(qEnvironmentVariable("LEDGER_CMAKE"),
            {"--install", qEnvironmentVariable("LEDGER_BUILD_DIR"), "--prefix", m_prefix.path()});
    QVERIFY2(install.code == 0, qPrintable(install.out));
}

void TestInstall::programAndToolsRunFromThePrefix() {
    const QStringList installed = {
        "vandrel-ledger",        "vandrel-ledger-backup",  "vandrel-ledger-check",
        "vandrel-ledger-demo",   "vandrel-ledger-export",  "vandrel-ledger-import",
        "vandrel-ledger-initdb", "vandrel-ledger-migrate", "vandrel-ledger-restore"};
    for (const QString& name : installed) {
        const QString tool = name;
        const QString file = path("bin/" + tool);
        QVERIFY2(QFileInfo(file).isExecutable(), qPrintable(file));
        QVERIFY(run(file, {"--version"}).out.startsWith(tool + " "));
    }
    // The benchmark and the build's helpers stay in the build.
    QCOMPARE(QDir(path("bin")).entryList(QDir::Files, QDir::Name), installed);
    QVERIFY(QFile(path("share/doc/vandrel-ledger/LICENSE")).size() > 30000);
    // The daily backup's timer and service, for a user's systemd, start the installed tool on the
    // folder the instance names.
    QFile service(path("lib/systemd/user/vandrel-ledger-backup@.service"));
    QVERIFY(service.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(service.readAll())
                .contains(QRegularExpression("\\nExecStart=vandrel-ledger-backup %f\\n")));
    QFile timer(path("lib/systemd/user/vandrel-ledger-backup@.timer"));
    QVERIFY(timer.open(QIODevice::ReadOnly));
    const QString timing = QString::fromUtf8(timer.readAll());
    QVERIFY(timing.contains("OnCalendar=daily") && timing.contains("WantedBy=timers.target"));
    // The installed initdb makes a working folder.
    QTemporaryDir work;
    QCOMPARE(run(path("bin/vandrel-ledger-initdb"), {work.path()}).code, 0);
    QVERIFY(QFileInfo::exists(QDir(work.path()).filePath("service_a.dll")));
}

void TestInstall::menuEntry() {
    const QString entry = path("share/applications/" + AppId + ".desktop");
    QVERIFY(QFileInfo::exists(entry));
    const QMap<QString, QString> desktop = desktopEntry(entry);
    QCOMPARE(desktop.value("Type"), QString("Application"));
    QCOMPARE(desktop.value("Name"), QString("Vandrel通用进销存"));
    QVERIFY(desktop.value("Comment").contains("商店"));
    QCOMPARE(desktop.value("Categories"), QString("Office;Finance;"));
    QCOMPARE(desktop.value("Icon"), AppId);
    // The command started from the menu is the installed program, without a folder.
    QCOMPARE(desktop.value("Exec"), QString("vandrel-ledger"));
    QVERIFY(QFileInfo(path("bin/vandrel-ledger")).isExecutable());

    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (validator.isEmpty())
        QSKIP("desktop-file-validate is not installed (desktop-file-utils)");
    const Run check = run(validator, {entry});
    QVERIFY2(check.code == 0 && check.out.trimmed().isEmpty(), qPrintable(check.out));
}

void TestInstall::iconInEverySize() {
    const QString svg = path("share/icons/hicolor/scalable/apps/" + AppId + ".svg");
    QFile f(svg);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains("<svg"));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString png = path(QString("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId));
        QCOMPARE(pngSize(png), QSize(size, size));
    }
}

void TestInstall::metainfo() {
    const QString file = path("share/metainfo/" + AppId + ".metainfo.xml");
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(f.readAll());
    QVERIFY(xml.contains("<id>" + AppId + "</id>"));
    QVERIFY(xml.contains("<project_license>GPL-3.0-or-later</project_license>"));
    QVERIFY(xml.contains("<launchable type=\"desktop-id\">" + AppId + ".desktop</launchable>"));
    QVERIFY(xml.contains("<description>") && xml.contains("<screenshot type=\"default\">"));
    // The release is the version the programs answer.
    const QString version =
        run(path("bin/vandrel-ledger-initdb"), {"--version"}).out.section(' ', 1).trimmed();
    QVERIFY(xml.contains("<release version=\"" + version + "\""));

    const QString validator = QStandardPaths::findExecutable("appstreamcli");
    if (validator.isEmpty())
        QSKIP("appstreamcli is not installed (appstream)");
    const Run check = run(validator, {"validate", "--no-net", file});
    QVERIFY2(check.code == 0, qPrintable(check.out));
    QVERIFY2(!check.out.contains("W:") && !check.out.contains("E:"), qPrintable(check.out));
}

// The installed README and the pages of doc/ link to each other and to the screenshots by relative
// paths: every one of them is installed where its link points.
void TestInstall::documentationLinksResolve() {
    const QDir docs(path("share/doc/vandrel-ledger"));
    QStringList pages{docs.filePath("README.md")};
    for (const QString& name : QDir(docs.filePath("doc")).entryList({"*.md"}, QDir::Files))
        pages << docs.filePath("doc/" + name);
    static const QRegularExpression link(R"(\]\(([^)\s#]+)(#[^)\s]*)?\))");
    QStringList targets;
    for (const QString& page : pages) {
        QFile f(page);
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(page));
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = link.globalMatch(text); m.hasNext();) {
            const QString target = m.next().captured(1);
            if (target.contains(':'))
                continue; // an address on the web
            targets << target;
            const QString file = QFileInfo(page).dir().filePath(target);
            QVERIFY2(QFileInfo::exists(file), qPrintable(page + " links to a missing " + target));
        }
    }
    // The user guide and a screenshot are among them, so the loop above checked something.
    QVERIFY(targets.contains(QStringLiteral("doc/使用说明.md")));
    QVERIFY(targets.contains(QStringLiteral("doc/screenshots/orders.png")));
}

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
