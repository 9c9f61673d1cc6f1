#include "core/errors.h"
#include "core/money.h"
#include "corefixture.h"
#include "data/data_in.h"
#include "data/sharedquery.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

// Amounts and search texts by the ten thousand, against references that cannot share a fault
// with the program: exact decimals for money, the database's own LIKE for the search.
// LEDGER_FUZZ_SEED and LEDGER_FUZZ_COUNT set the corpus (scripts/fuzz runs longer ones).
class TestFuzz : public QObject {
    Q_OBJECT
private slots:
    void moneyMatchesExactDecimals();
    void searchMatchesTheDatabase();
};

namespace {

quint32 seed() {
    bool ok = false;
    const quint32 s = qEnvironmentVariable("LEDGER_FUZZ_SEED").toUInt(&ok);
    return ok ? s : 20261209u;
}

int count(int usual) {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("LEDGER_FUZZ_COUNT", &ok);
    return ok && n > 0 ? n : usual;
}

QString outcome(const std::function<Currency()>& compute) {
    try {
        return QString::number(compute().scaled());
    } catch (const ConversionError& e) {
        return e.text().startsWith(QLatin1Char('\'')) &&
                       e.text().endsWith(QLatin1String("floating point value"))
                   ? QStringLiteral("ERR")
                   : QStringLiteral("RANGE");
    }
}

QString shown(const QString& result) {
    bool ok = false;
    const qint64 scaled = result.toLongLong(&ok);
    return ok ? Currency::fromScaled(scaled).toString() : QStringLiteral("-");
}

} // namespace

void TestFuzz::moneyMatchesExactDecimals() {
    const int n = count(100000);
    qInfo("money corpus: seed %u, %d inputs", seed(), n);
    QProcess reference;
    reference.start(QStringLiteral("python3"),
                    {QStringLiteral(QT_TESTCASE_SOURCEDIR "/scripts/money_reference.py"),
                     QString::number(seed()), QString::number(n)});
    QVERIFY2(reference.waitForFinished(600000), "the reference did not finish");
    QCOMPARE(reference.exitCode(), 0);
    const QList<QByteArray> lines = reference.readAllStandardOutput().split('\n');
    int checked = 0;
    QStringList wrong;
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split('\t');
        QVERIFY(f.size() == 3 || f.size() == 8);
        const QString input = QString::fromUtf8(QByteArray::fromHex(f[0]));
        QStringList got = {outcome([&] { return Currency::parse(input); })};
        got << shown(got[0]);
        if (f.size() == 8) {
            const Currency value = Currency::fromScaled(got[0].toLongLong());
            const Currency other = Currency::fromScaled(f[3].toLongLong());
            got << QString::fromLatin1(f[3]);
            got << outcome([&] { return other * value; });
            got << shown(got[3]);
            got << outcome([&] { return other + value; });
            got << shown(got[5]);
        }
        QStringList expected;
        for (int i = 1; i < f.size(); ++i)
            expected << QString::fromLatin1(f[i]);
        if (got != expected && wrong.size() < 10)
            wrong << QStringLiteral("'%1': %2 instead of %3")
                         .arg(input, got.join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));
        ++checked;
    }
    QCOMPARE(checked, n);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
}

void TestFuzz::searchMatchesTheDatabase() {
    CoreFixture f;
    QRandomGenerator random(seed());
    const QString alphabet = QStringLiteral("abcABC%_'\"\\[]*?^$. -0123;苹果梨ÄäÉé");
    auto draw = [&](int most) {
        QString text;
        for (int i = int(random.bounded(most + 1)); i > 0; --i)
            text += alphabet.at(int(random.bounded(int(alphabet.size()))));
        return text;
    };
    for (int i = 0; i < 300; ++i)
        CoreFixture::exec("insert into ab (b3, b4, b9) values (:a, 1, 1)", {{":a", draw(8)}});
    f.close();
    TData_in data(nullptr, f.folder());
    SharedQuery* products = data.Query_ab;
    QVERIFY(products->isPaged());
    const QStringList hostile = {
        "'", "''",  "%",   "_", "%%", "\\", "' or '1'='1", "'; drop table ab; --", "\"", "[a]", "*",
        "?", "a_c", "%a%", "ä", "Ä",  "A",  "苹",          QString(200, 'a')};
    const int n = count(100000) / 50;
    qInfo("search corpus: seed %u, %d texts", seed(), int(hostile.size()) + n);
    for (int i = 0; i < int(hostile.size()) + n; ++i) {
        const QString text = i < hostile.size() ? hostile.at(i) : draw(4);
        products->search(QStringLiteral("b3"), text);
        QStringList listed;
        for (int row = 0; row < products->recordCount(); ++row)
            listed << products->text(row, QStringLiteral("bid"));
        QSqlQuery q =
            Db::exec(Db::business(),
                     QStringLiteral("select bid from ab where b3 like '%' || :t || '%' order by bid desc"),
                     {{QStringLiteral(":t"), text.isNull() ? QStringLiteral("") : text}});
        QStringList expected;
        while (q.next())
            expected << q.value(0).toString();
        QVERIFY2(listed == expected, qPrintable(QStringLiteral("search for '%1': %2 rows instead of %3")
                                                    .arg(text)
                                                    .arg(listed.size())
                                                    .arg(expected.size())));
    }
    QCOMPARE(Db::scalar(Db::business(), QStringLiteral("select count(*) from ab")).toInt(), 300);
}

QTEST_GUILESS_MAIN(TestFuzz)
#include "tst_fuzz.moc"
