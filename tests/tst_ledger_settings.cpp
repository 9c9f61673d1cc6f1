#include "core/errors.h"
#include "corefixture.h"
#include "data/work.h"
#include "ledger/settings.h"

#include <QSignalSpy>
#include <QTest>

// The settings row of the lists file, without any window.
class TestLedgerSettings : public QObject {
    Q_OBJECT
private slots:
    void guideFlagRoundTrip();
    void otherTextsDecideNothing();
    void withoutTheSettingsRowNothingIsWritten();
    void failedWriteLeavesTheFlagAndAnnouncesNothing();
};

namespace {

QString storedFlags() {
    QSqlQuery q = Db::exec(Db::lists(), QStringLiteral("select ids, run from a5 order by ids"));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + "|" + q.value(1).toString();
    return rows.join(",");
}

void store(const QVariant& flag) {
    Db::exec(Db::lists(), QStringLiteral("update a5 set run = :a"), {{QStringLiteral(":a"), flag}});
}

} // namespace

void TestLedgerSettings::guideFlagRoundTrip() {
    CoreFixture f;
    // A new file opens the guide.
    QCOMPARE(storedFlags(), QStringLiteral("8|0"));
    QCOMPARE(Settings::guideAtStart(), std::optional<bool>(true));

    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);
    Settings::setGuideAtStart(false);
    QCOMPARE(storedFlags(), QStringLiteral("8|1"));
    QCOMPARE(Settings::guideAtStart(), std::optional<bool>(false));
    QCOMPARE(spy.count(), 1);
    const Db::Changes changes = spy.at(0).at(0).value<Db::Changes>();
    QCOMPARE(changes.size(), 1);
    QCOMPARE(changes.first().table, QStringLiteral("a5"));
    QCOMPARE(changes.first().keys, QList<qint64>({8}));

    // Stored at once: it survives closing the files.
    f.close();
    f.reopen();
    QCOMPARE(Settings::guideAtStart(), std::optional<bool>(false));
    Settings::setGuideAtStart(true);
    QCOMPARE(storedFlags(), QStringLiteral("8|0"));
    QCOMPARE(Settings::guideAtStart(), std::optional<bool>(true));
}

void TestLedgerSettings::otherTextsDecideNothing() {
    CoreFixture f;
    for (const char* flag : {"", " 0", "00", "1 ", "true"}) {
        store(QString::fromUtf8(flag));
        QVERIFY2(!Settings::guideAtStart().has_value(), flag);
    }
    store(QVariant());
    QVERIFY(!Settings::guideAtStart().has_value());
    // A number stored by another tool reads as its text.
    store(1);
    QCOMPARE(Settings::guideAtStart(), std::optional<bool>(false));

    Db::exec(Db::lists(), QStringLiteral("delete from a5"));
    QVERIFY(!Settings::guideAtStart().has_value());
}

void TestLedgerSettings::withoutTheSettingsRowNothingIsWritten() {
    CoreFixture f;
    Db::exec(Db::lists(), QStringLiteral("update a5 set ids = 9"));
    Settings::setGuideAtStart(false);
    QCOMPARE(storedFlags(), QStringLiteral("9|0"));
    // The flag is read from the first row whatever its key, so it still opens the guide.
    QCOMPARE(Settings::guideAtStart(), std::optional<bool>(true));
}

void TestLedgerSettings::failedWriteLeavesTheFlagAndAnnouncesNothing() {
    CoreFixture f;
    Db::exec(Db::lists(), QStringLiteral("alter table a5 rename to a5_gone"));
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Settings::setGuideAtStart(false));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Settings::guideAtStart());
    QCOMPARE(spy.count(), 0);
    Db::exec(Db::lists(), QStringLiteral("alter table a5_gone rename to a5"));
    QCOMPARE(storedFlags(), QStringLiteral("8|0"));
}

QTEST_GUILESS_MAIN(TestLedgerSettings)
#include "tst_ledger_settings.moc"
