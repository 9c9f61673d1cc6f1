#include "app/mainwindow.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "ledgertest.h"
#include "members/Fr_huiyuan.h"
#include "members/Fr_hy_chongzhi.h"
#include "members/Fr_hy_xiaofei.h"
#include "members/edit_huiyuan.h"
#include "members/memberwidgets.h"
#include "members/new_chongzhi.h"
#include "members/new_huiyuan.h"
#include "reports/reports.h"
#include "widgets/databound.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

class TestMembers : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void frameShowsMembersAndDetails();
    void guardsRefuseOnAnEmptyList();
    void searchByCardNumber();
    void newMemberWithOnlyAName();
    void newMemberStoresEveryField();
    void newMemberRefusesMissingOrBadAmount();
    void salutationIsKeptBetweenShowings();
    void rechargeAddsExactlyAndRecords();
    void rechargeRefusesAndCancels();
    void failedRecordInsertLeavesTheBalance();
    void deleteRemovesExactlyThatCard();
    void deleteCancelledOrFailedKeepsEverything();
    void editRewritesThePersonalData();
    void editKeepsStoredTextsWhole();
    void recordFramesListSearchAndPrint();
    void amountBoxFiltersKeysAndSteps();
};

using namespace User;

namespace {

int addMember(const QString& name, const QString& balance, const QString& salutation = QStringLiteral("先生"),
              const QVariant& card = QVariant()) {
    QSqlQuery q = LedgerFixture::exec(
        QStringLiteral("insert into aj (jid, j1, j2, j6, j9, j10) values (:k, :a, '13800000000', :b, :c, "
                       "'2026-01-02 08:00:00')"),
        {{":k", card}, {":a", name}, {":b", salutation}, {":c", balance}});
    return q.lastInsertId().toInt();
}

void addRecords(const QString& card) {
    LedgerFixture::exec(
        "insert into ah (h1, h2, h3, h4, h5, h6, h7) values ('某人', 10, '2026-01-01 00:00:00', 0, "
        "10, :a, '先生')",
        {{":a", card}});
    LedgerFixture::exec(
        "insert into ag (g1, g2, g3, g4, g5, g6, g7) values ('某人', 5, '2026-01-01 00:00:00', 5, "
        "'7', :a, '先生')",
        {{":a", card}});
}

TFr_huiyuan* frame() {
    return main_window->Fr_huiyuan1;
}

// Shows the members page as the navigation bar does.
void showMembers() {
    main_window->show();
    main_window->membersView();
}

// Selects the member with this card in the members list.
void selectCard(int card) {
    SharedQuery* q = Data_in->Query_aj;
    for (int row = 0; row < q->recordCount(); ++row)
        if (q->text(row, "jid") == QString::number(card)) {
            frame()->bsSkinDBGrid2->selectRow(row);
            return;
        }
    QFAIL("card not listed");
}

// Recharges the current member of the members page with the amount typed into the dialog.
void recharge(const QString& amount) {
    onModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(new_chongzhi));
        new_chongzhi->bsSkinEdit3->setText(QString());
        QTest::keyClicks(new_chongzhi->bsSkinEdit3, amount);
        click(new_chongzhi->bsSkinButton1);
    });
    click(frame()->bsSkinSpeedButton3);
}

} // namespace

void TestMembers::cleanup() {
    Reports::setPreviewHook(nullptr);
}

void TestMembers::frameShowsMembersAndDetails() {
    LedgerFixture f;
    addMember("张三", "20.5");
    addMember("李四", "100", "女士");
    LedgerFixture::exec("insert into aj (j1, j4, j9, j10) values ('王五', '', 0, '2026-03-04 05:06:07')");
    showMembers();
    DataGrid* grid = frame()->bsSkinDBGrid2;
    QStringList titles;
    for (const GridColumn& c : grid->columns())
        titles << c.field + "=" + c.title;
    QCOMPARE(titles,
             QStringList({"jid=会员卡号", "j1=会员名", "j6=称呼", "j2=手机", "j9=卡中余额", "j10=办卡时间"}));
    // Newest card first; the details follow the current row.
    QCOMPARE(grid->cellText(0, 1), QStringLiteral("王五"));
    QCOMPARE(frame()->bsSkinDBText1->text(), QStringLiteral("3"));
    QCOMPARE(frame()->bsSkinDBText3->text(), QStringLiteral("王五"));
    QCOMPARE(frame()->bsSkinDBText4->text(), QString()); // no salutation: the name and two blanks only
    QCOMPARE(frame()->bsSkinDBText5->text(), QString());
    QCOMPARE(frame()->bsSkinDBText10->text(), QStringLiteral("2026-03-04 05:06:07"));
    grid->selectRow(2);
    QCOMPARE(frame()->bsSkinDBText1->text(), QStringLiteral("1"));
    QCOMPARE(frame()->bsSkinDBText2->text(), QStringLiteral("20.5"));
    QCOMPARE(frame()->bsSkinDBText4->text(), QStringLiteral("先生"));
    QCOMPARE(frame()->bsSkinDBText8->text(), QStringLiteral("13800000000"));
    QCOMPARE(grid->cellText(1, 4), QStringLiteral("100"));
    // Help opens the guide; new member opens its dialog without a guard.
    QString opened;
    onModal([&](QWidget* w) { opened = w->objectName(); });
    click(frame()->bsSkinSpeedButton9);
    QCOMPARE(opened, QStringLiteral("help"));
    onModal([&](QWidget* w) { opened = w->objectName(); });
    click(frame()->bsSkinSpeedButton4);
    QCOMPARE(opened, QStringLiteral("new_huiyuan"));
    QVERIFY(f.messages.messages.isEmpty());
}

void TestMembers::guardsRefuseOnAnEmptyList() {
    LedgerFixture f;
    showMembers();
    QStringList printed;
    Reports::setPreviewHook(
        [&](const QString& definition, const Reports::Parameters&) { printed << definition; });
    QVERIFY(opensNoWindow([&] {
        for (QToolButton* b : {frame()->bsSkinSpeedButton3, frame()->bsSkinSpeedButton2,
                               frame()->bsSkinSpeedButton1, frame()->bsSkinSpeedButton8})
            click(b);
    }));
    QVERIFY(printed.isEmpty());
    QCOMPARE(f.messages.texts(), QStringList(4, QStringLiteral("没有会员记录,请先添加")));
    // With a member, printing hands the member list to the report engine.
    addMember("张三", "1");
    click(frame()->bsSkinSpeedButton6);
    click(frame()->bsSkinSpeedButton8);
    QCOMPARE(printed, QStringList({"aj.rav"}));
}

void TestMembers::searchByCardNumber() {
    LedgerFixture f;
    for (int i = 1; i <= 21; ++i)
        addMember(QStringLiteral("会员%1").arg(i), "0");
    showMembers();
    QTest::keyClicks(frame()->bsSkinEdit1, "2");
    SharedQuery* q = Data_in->Query_aj;
    QStringList cards;
    for (int row = 0; row < q->recordCount(); ++row)
        cards << q->text(row, "jid");
    QCOMPARE(cards, QStringList({"21", "20", "12", "2"}));
    // Edit works on the current row of the filtered list, and the list stays filtered afterwards.
    frame()->bsSkinDBGrid2->selectRow(2);
    onModal([&](QWidget*) {
        QCOMPARE(edit_huiyuan->bsSkinStdLabel7->text(), QStringLiteral("12"));
        edit_huiyuan->bsSkinEdit4->setText("十二号");
        click(edit_huiyuan->bsSkinButton1);
    });
    click(frame()->bsSkinSpeedButton2);
    QCOMPARE(LedgerFixture::scalar("select j1 from aj where jid = 12").toString(), QStringLiteral("十二号"));
    QCOMPARE(q->recordCount(), 4);
    QCOMPARE(q->text(2, "j1"), QStringLiteral("十二号"));
    // A quote is just a character; refresh lists all and keeps the search text.
    frame()->bsSkinEdit1->setText("2'");
    QVERIFY(q->isOpen());
    QCOMPARE(q->recordCount(), 0);
    click(frame()->bsSkinSpeedButton6);
    QCOMPARE(q->recordCount(), 21);
    QCOMPARE(frame()->bsSkinEdit1->text(), QStringLiteral("2'"));
    frame()->bsSkinEdit1->clear();
    QCOMPARE(q->recordCount(), 21);
    QVERIFY(f.messages.messages.isEmpty());
}

void TestMembers::newMemberWithOnlyAName() {
    LedgerFixture f;
    addMember("张三", "5");
    LedgerFixture::exec("delete from aj");
    showMembers();
    QTest::keyClicks(frame()->bsSkinEdit1, "2"); // a search in force
    onModal([&](QWidget*) {
        QCOMPARE(new_huiyuan->bsSkinEdit7->text(), QStringLiteral("0.00"));
        QTest::keyClicks(new_huiyuan->bsSkinEdit4, "Zhang");
        QTest::keyClick(new_huiyuan->bsSkinEdit4, Qt::Key_Return); // Enter saves
    });
    click(frame()->bsSkinSpeedButton4);
    QVERIFY(!new_huiyuan->isVisible());
    QCOMPARE(LedgerFixture::rows("select jid, j1, j2, j3, j4, j5, j6, j7, j8, j9, j10 from aj"),
             QStringList({"2|Zhang|||||先生|||0|2026-12-09 10:30:00"}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ah").toInt(), 0); // no record for the opening amount
    // The list shows the new member within the search in force.
    QCOMPARE(Data_in->Query_aj->recordCount(), 1);
    QCOMPARE(frame()->bsSkinDBText3->text(), QStringLiteral("Zhang"));
    QVERIFY(f.messages.messages.isEmpty());
}

void TestMembers::newMemberStoresEveryField() {
    LedgerFixture f;
    showMembers();
    onModal([&](QWidget*) {
        new_huiyuan->bsSkinEdit4->setText("李小梅");
        new_huiyuan->bsSkinComboBox1->setCurrentText("女士");
        new_huiyuan->bsSkinEdit7->setText(QString());
        QTest::keyClicks(new_huiyuan->bsSkinEdit7, "50.5");
        QTest::keyClicks(new_huiyuan->bsSkinEdit1, "139a-12b");
        QTest::keyClicks(new_huiyuan->bsSkinEdit2, "(010)8888");
        QTest::keyClicks(new_huiyuan->bsSkinEdit3, "li@example.com");
        new_huiyuan->bsSkinEdit5->setText("北京市海淀区");
        QTest::keyClicks(new_huiyuan->bsSkinEdit6, "10008x0");
        new_huiyuan->bsSkinRichEdit1->setPlainText(QString(70, QChar(u'备')));
        // Letters and signs do not get into the number boxes; the limits hold.
        QCOMPARE(new_huiyuan->bsSkinEdit1->text(), QStringLiteral("13912"));
        QCOMPARE(new_huiyuan->bsSkinEdit2->text(), QStringLiteral("0108888"));
        QCOMPARE(new_huiyuan->bsSkinEdit6->text(), QStringLiteral("100080"));
        QCOMPARE(new_huiyuan->bsSkinRichEdit1->toPlainText().size(), 60);
        QCOMPARE(new_huiyuan->bsSkinEdit4->maxLength(), 15);
        QCOMPARE(new_huiyuan->bsSkinEdit3->maxLength(), 60);
        QCOMPARE(new_huiyuan->bsSkinEdit5->maxLength(), 80);
        QCOMPARE(new_huiyuan->bsSkinEdit6->maxLength(), 10);
        click(new_huiyuan->bsSkinButton1);
    });
    click(frame()->bsSkinSpeedButton4);
    QCOMPARE(LedgerFixture::rows("select j1, j2, j3, j4, j5, j6, j7, j9, j10 from aj"),
             QStringList(
                 {"李小梅|13912|0108888|北京市海淀区|100080|女士|li@example.com|50.5|2026-12-09 10:30:00"}));
    QCOMPARE(LedgerFixture::scalar("select j8 from aj").toString(), QString(60, QChar(u'备')));
    QCOMPARE(frame()->bsSkinDBText2->text(), QStringLiteral("50.5"));
}

void TestMembers::newMemberRefusesMissingOrBadAmount() {
    LedgerFixture f;
    showMembers();
    bool stayedOpen = true;
    onModal([&](QWidget*) {
        click(new_huiyuan->bsSkinButton1); // no name
        new_huiyuan->bsSkinEdit4->setText("张三");
        new_huiyuan->bsSkinEdit7->setText(QString());
        click(new_huiyuan->bsSkinButton1); // no amount
        for (const char* bad : {"-", ".", "-."}) {
            new_huiyuan->bsSkinEdit7->setText(QString());
            QTest::keyClicks(new_huiyuan->bsSkinEdit7, bad);
            QCOMPARE(new_huiyuan->bsSkinEdit7->text(), QString::fromLatin1(bad));
            click(new_huiyuan->bsSkinButton1);
        }
        new_huiyuan->bsSkinEdit7->setText(QString());
        QTest::keyClicks(new_huiyuan->bsSkinEdit7, "-5");
        click(new_huiyuan->bsSkinButton1); // a card does not start below zero
        stayedOpen = stayedOpen && new_huiyuan->isVisible();
        QCOMPARE(new_huiyuan->bsSkinEdit4->text(), QStringLiteral("张三")); // inputs kept
    });
    click(frame()->bsSkinSpeedButton4);
    QVERIFY(stayedOpen);
    const QString required = QStringLiteral("红色*号为必填项，请填写。");
    const QString notANumber = QStringLiteral("初始金额必须是数字，请重新填写。");
    QCOMPARE(f.messages.texts(), QStringList({required, required, notANumber, notANumber, notANumber,
                                              QStringLiteral("初始金额不能小于零，请重新填写。")}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from aj").toInt(), 0);
    // Cancel writes nothing either.
    onModal([&](QWidget*) {
        new_huiyuan->bsSkinEdit4->setText("张三");
        click(new_huiyuan->bsSkinButton2);
    });
    click(frame()->bsSkinSpeedButton4);
    QCOMPARE(LedgerFixture::scalar("select count(*) from aj").toInt(), 0);
}

void TestMembers::salutationIsKeptBetweenShowings() {
    LedgerFixture f;
    showMembers();
    onModal([&](QWidget*) {
        QCOMPARE(new_huiyuan->bsSkinComboBox1->currentText(), QStringLiteral("先生")); // first showing
        new_huiyuan->bsSkinComboBox1->setCurrentIndex(1);
        new_huiyuan->bsSkinEdit4->setText("张三");
        new_huiyuan->bsSkinEdit1->setText("123");
        new_huiyuan->bsSkinRichEdit1->setPlainText("备注");
        new_huiyuan->bsSkinEdit7->setText("9");
        click(new_huiyuan->bsSkinButton2);
    });
    click(frame()->bsSkinSpeedButton4);
    QString salutation, name, mobile, memo, amount;
    onModal([&](QWidget*) {
        salutation = new_huiyuan->bsSkinComboBox1->currentText();
        name = new_huiyuan->bsSkinEdit4->text();
        mobile = new_huiyuan->bsSkinEdit1->text();
        memo = new_huiyuan->bsSkinRichEdit1->toPlainText();
        amount = new_huiyuan->bsSkinEdit7->text();
    });
    click(frame()->bsSkinSpeedButton4);
    QCOMPARE(salutation, QStringLiteral("女士"));
    QCOMPARE(name, QString());
    QCOMPARE(mobile, QString());
    QCOMPARE(memo, QString());
    QCOMPARE(amount, QStringLiteral("0.00"));
}

void TestMembers::rechargeAddsExactlyAndRecords() {
    LedgerFixture f;
    const int a = addMember("张三", "20.5", "先生");
    const int b = addMember("李四", "10", "女士");
    const int c = addMember("王五", "50");
    showMembers();
    QStringList shown;
    onModal([&](QWidget*) {
        shown << new_chongzhi->bsSkinStdLabel4->text() << new_chongzhi->bsSkinStdLabel5->text()
              << new_chongzhi->bsSkinStdLabel6->text() << new_chongzhi->bsSkinStdLabel8->text()
              << new_chongzhi->bsSkinEdit3->text();
        new_chongzhi->bsSkinEdit3->setText(QString());
        QTest::keyClicks(new_chongzhi->bsSkinEdit3, "100");
        QTest::keyClick(new_chongzhi->bsSkinEdit3, Qt::Key_Return); // Enter saves
    });
    selectCard(a);
    click(frame()->bsSkinSpeedButton3);
    QCOMPARE(shown, QStringList({QString::number(a), "张三", "20.5", "先生", "0.00"}));
    QVERIFY(!new_chongzhi->isVisible());
    QCOMPARE(LedgerFixture::scalar("select j9 from aj where jid = :a", {{":a", a}}).toString(),
             QStringLiteral("120.5"));
    QCOMPARE(LedgerFixture::rows("select h1, h2, h3, h4, h5, h6, h7 from ah"),
             QStringList({QStringLiteral("张三|100|2026-12-09 10:30:00|20.5|120.5|%1|先生").arg(a)}));

    selectCard(b);
    recharge("0.005");
    QCOMPARE(LedgerFixture::scalar("select j9 from aj where jid = :a", {{":a", b}}).toString(),
             QStringLiteral("10.005"));
    selectCard(c);
    recharge("-30");
    QCOMPARE(LedgerFixture::scalar("select j9 from aj where jid = :a", {{":a", c}}).toString(),
             QStringLiteral("20"));
    QCOMPARE(
        LedgerFixture::rows("select h2, h4, h5, h6 from ah order by hid"),
        QStringList({QStringLiteral("100|20.5|120.5|%1").arg(a), QStringLiteral("0.005|10|10.005|%1").arg(b),
                     QStringLiteral("-30|50|20|%1").arg(c)}));
    // Both lists were reopened: the members list shows the new balance, the records page the newest first.
    QCOMPARE(Data_in->Query_aj->text(2, "j9"), QStringLiteral("120.5"));
    QCOMPARE(frame()->bsSkinDBText2->text(), QStringLiteral("20"));
    QCOMPARE(Data_in->Query_ah->text(0, "h2"), QStringLiteral("-30"));
    QCOMPARE(Data_in->Query_ah->recordCount(), 3);
    // Only the correction was asked.
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].kind, QStringLiteral("confirm"));
    QCOMPARE(f.messages.messages[0].title, QStringLiteral("冲减确认"));
    QCOMPARE(f.messages.messages[0].text,
             QStringLiteral("充值金额为负数，将从会员卡中扣除30元。确定要冲减吗？"));
}

void TestMembers::rechargeRefusesAndCancels() {
    LedgerFixture f;
    const int card = addMember("张三", "50");
    showMembers();
    onModal([&](QWidget*) {
        new_chongzhi->bsSkinEdit3->setText(QString());
        click(new_chongzhi->bsSkinButton1);
        for (const char* bad : {"-", "."}) {
            new_chongzhi->bsSkinEdit3->setText(bad);
            click(new_chongzhi->bsSkinButton1);
        }
        QVERIFY(new_chongzhi->isVisible());
        new_chongzhi->bsSkinEdit3->setText("80");
        click(new_chongzhi->bsSkinButton2);
    });
    click(frame()->bsSkinSpeedButton3);
    QCOMPARE(f.messages.texts(), QStringList({"红色*号为必填项，请填写。", "充值金额必须是数字，请重新填写。",
                                              "充值金额必须是数字，请重新填写。"}));
    QCOMPARE(LedgerFixture::scalar("select j9 from aj").toString(), QStringLiteral("50"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ah").toInt(), 0);
    // The next showing starts again at 0.00.
    QString amount;
    onModal([&](QWidget*) { amount = new_chongzhi->bsSkinEdit3->text(); });
    click(frame()->bsSkinSpeedButton3);
    QCOMPARE(amount, QStringLiteral("0.00"));
    // A correction declined at the question writes nothing; one that would take the card below
    // zero is refused.
    f.messages.clear();
    f.messages.answers = {false};
    onModal([&](QWidget*) {
        new_chongzhi->bsSkinEdit3->setText(QString());
        QTest::keyClicks(new_chongzhi->bsSkinEdit3, "-30");
        click(new_chongzhi->bsSkinButton1);
        QVERIFY(new_chongzhi->isVisible());
        LedgerFixture::exec("update aj set j9 = 20.5 where jid = :a", {{":a", card}});
        click(new_chongzhi->bsSkinButton1);
        QVERIFY(new_chongzhi->isVisible());
    });
    click(frame()->bsSkinSpeedButton3);
    QCOMPARE(f.messages.messages.size(), 3);
    QCOMPARE(f.messages.messages[0].kind, QStringLiteral("confirm"));
    QCOMPARE(f.messages.messages[1].kind, QStringLiteral("confirm"));
    QCOMPARE(f.messages.messages[2].text, QStringLiteral("余额不足，充值后余额不能小于零。"));
    QCOMPARE(LedgerFixture::scalar("select j9 from aj").toString(), QStringLiteral("20.5"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ah").toInt(), 0);
    // A member whose balance is no number stops before anything is written.
    LedgerFixture::exec("update aj set j9 = null where jid = :a", {{":a", card}});
    click(frame()->bsSkinSpeedButton6);
    f.messages.clear();
    recharge("10");
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].kind, QStringLiteral("error"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ah").toInt(), 0);
    QVERIFY(LedgerFixture::scalar("select j9 from aj").isNull());
}

void TestMembers::failedRecordInsertLeavesTheBalance() {
    LedgerFixture f;
    addMember("张三", "20.5");
    LedgerFixture::exec(
        "create trigger no_records before insert on ah begin select raise(abort, '记录表已满'); end");
    showMembers();
    bool stayedOpen = false;
    onModal([&](QWidget*) {
        new_chongzhi->bsSkinEdit3->setText("100");
        click(new_chongzhi->bsSkinButton1);
        stayedOpen = new_chongzhi->isVisible();
    });
    click(frame()->bsSkinSpeedButton3);
    QVERIFY(stayedOpen);
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].kind, QStringLiteral("error"));
    QVERIFY2(f.messages.last().contains("记录表已满"), qPrintable(f.messages.last()));
    QCOMPARE(LedgerFixture::scalar("select j9 from aj").toString(), QStringLiteral("20.5"));
    QCOMPARE(frame()->bsSkinDBText2->text(), QStringLiteral("20.5"));
    // Once the fault is gone the same recharge goes through.
    LedgerFixture::exec("drop trigger no_records");
    recharge("100");
    QCOMPARE(LedgerFixture::scalar("select j9 from aj").toString(), QStringLiteral("120.5"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ah").toInt(), 1);
}

void TestMembers::deleteRemovesExactlyThatCard() {
    LedgerFixture f;
    for (int card : {1, 12, 112, 120}) {
        addMember(QStringLiteral("会员%1").arg(card), "0", "先生", card);
        addRecords(QString::number(card));
        addRecords(QString::number(card));
    }
    showMembers();
    main_window->switchTo(main_window->Fr_hy_chongzhi1);
    main_window->Fr_hy_chongzhi1->bsSkinEdit1->setText("1"); // a search in force on the records page
    main_window->switchTo(frame());
    selectCard(12);
    click(frame()->bsSkinSpeedButton1);
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].kind, QStringLiteral("confirm"));
    QCOMPARE(f.messages.messages[0].title, QStringLiteral("删除确认"));
    QCOMPARE(f.messages.last(), QStringLiteral("您确定要删除此会员吗?相关充值、消费记录也会被清除。"));
    QCOMPARE(LedgerFixture::rows("select jid from aj order by jid"), QStringList({"1", "112", "120"}));
    QCOMPARE(LedgerFixture::rows("select h6 from ah order by hid"),
             QStringList({"1", "1", "112", "112", "120", "120"}));
    QCOMPARE(LedgerFixture::rows("select g6 from ag order by gid"),
             QStringList({"1", "1", "112", "112", "120", "120"}));
    // The row left the list without a reload; the next one is current.
    QCOMPARE(Data_in->Query_aj->recordCount(), 3);
    QCOMPARE(frame()->bsSkinDBText1->text(), QStringLiteral("1"));
    // Both record lists were reopened with the statement they held.
    QCOMPARE(Data_in->Query_ah->recordCount(), 6);
    QVERIFY(Data_in->Query_ah->statement().contains("like"));
    QCOMPARE(Data_in->Query_ag->recordCount(), 6);
}

void TestMembers::deleteCancelledOrFailedKeepsEverything() {
    LedgerFixture f;
    addMember("张三", "0", "先生", 12);
    addRecords("12");
    showMembers();
    f.messages.answers << false;
    click(frame()->bsSkinSpeedButton1);
    QCOMPARE(LedgerFixture::scalar("select count(*) from aj").toInt(), 1);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ah").toInt(), 1);
    // A member row that cannot be deleted keeps its records too.
    LedgerFixture::exec(
        "create trigger keep_members before delete on aj begin select raise(abort, '会员被锁定'); end");
    click(frame()->bsSkinSpeedButton1);
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("error"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from aj").toInt(), 1);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ah").toInt(), 1);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ag").toInt(), 1);
    QCOMPARE(Data_in->Query_aj->recordCount(), 1);
    QCOMPARE(frame()->bsSkinDBText1->text(), QStringLiteral("12"));
}

void TestMembers::editRewritesThePersonalData() {
    LedgerFixture f;
    LedgerFixture::exec(
        "insert into aj (j1, j2, j3, j4, j5, j6, j7, j8, j9, j10) values ('张三', '139', '010', "
        "'北京', '100080', '先生', 'z@example.com', '老顾客', 88.8, '2026-01-02 08:00:00')");
    addRecords("1");
    showMembers();
    QStringList shown;
    onModal([&](QWidget*) {
        shown << edit_huiyuan->bsSkinEdit4->text() << edit_huiyuan->bsSkinEdit1->text()
              << edit_huiyuan->bsSkinEdit2->text() << edit_huiyuan->bsSkinEdit5->text()
              << edit_huiyuan->bsSkinEdit6->text() << edit_huiyuan->bsSkinComboBox1->currentText()
              << edit_huiyuan->bsSkinEdit3->text() << edit_huiyuan->bsSkinRichEdit1->toPlainText()
              << edit_huiyuan->bsSkinStdLabel7->text();
        QTest::keyClicks(edit_huiyuan->bsSkinEdit1, "x5");
        edit_huiyuan->bsSkinComboBox1->setCurrentText("女士");
        click(edit_huiyuan->bsSkinButton1);
    });
    click(frame()->bsSkinSpeedButton2);
    QCOMPARE(shown,
             QStringList({"张三", "139", "010", "北京", "100080", "先生", "z@example.com", "老顾客", "1"}));
    QCOMPARE(LedgerFixture::rows("select * from aj"),
             QStringList({"1|张三|1395|010|北京|100080|女士|z@example.com|老顾客|88.8|2026-01-02 08:00:00"}));
    QCOMPARE(frame()->bsSkinDBText4->text(), QStringLiteral("女士"));
    // Records keep the salutation they were written with.
    QCOMPARE(LedgerFixture::scalar("select h7 from ah").toString(), QStringLiteral("先生"));
    // Cancel writes nothing, even after changes.
    onModal([&](QWidget*) {
        edit_huiyuan->bsSkinEdit4->setText("改名");
        click(edit_huiyuan->bsSkinButton2);
    });
    click(frame()->bsSkinSpeedButton2);
    QCOMPARE(LedgerFixture::scalar("select j1 from aj").toString(), QStringLiteral("张三"));
    QVERIFY(f.messages.messages.isEmpty());
}

// Texts stored longer than a box takes, or with characters its key filter refuses, are shown and
// written back whole; the limits and filters still hold for what the user types.
void TestMembers::editKeepsStoredTextsWhole() {
    LedgerFixture f;
    const QString name = QString(18, QChar(u'名'));
    const QString email = QString(64, QLatin1Char('e')) + QStringLiteral("@x.cn");
    const QString address = QString(85, QChar(u'址'));
    const QString remark = QString(70, QChar(u'备'));
    LedgerFixture::exec(
        "insert into aj (j1, j2, j3, j4, j5, j6, j7, j8, j9, j10) values (:a, '139 0000 1111 222', "
        "'010-8888', :d, '100080-1234', '先生', :g, :h, 5, '2026-01-02 08:00:00')",
        {{":a", name}, {":d", address}, {":g", email}, {":h", remark}});
    addMember("李四", "1");
    showMembers();
    selectCard(1);
    QStringList shown;
    onModal([&](QWidget*) {
        shown << edit_huiyuan->bsSkinEdit4->text() << edit_huiyuan->bsSkinEdit1->text()
              << edit_huiyuan->bsSkinEdit2->text() << edit_huiyuan->bsSkinEdit5->text()
              << edit_huiyuan->bsSkinEdit6->text() << edit_huiyuan->bsSkinEdit3->text()
              << edit_huiyuan->bsSkinRichEdit1->toPlainText();
        // A digit typed into the telephone goes in beside the stored dash; a letter does not.
        QLineEdit* phone = edit_huiyuan->bsSkinEdit2;
        phone->setFocus();
        phone->end(false);
        QTest::keyClicks(phone, "9x");
        QCOMPARE(phone->text(), QStringLiteral("010-88889"));
        // A box already over its limit takes no more typing, and keeps what it holds.
        QLineEdit* nameBox = edit_huiyuan->bsSkinEdit4;
        nameBox->end(false);
        QTest::keyClicks(nameBox, "ab");
        QCOMPARE(nameBox->text(), name);
        QTextEdit* memo = edit_huiyuan->bsSkinRichEdit1;
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, "zz");
        QCOMPARE(memo->toPlainText(), remark);
        // A key in the mobile box that is refused leaves its spaces alone.
        edit_huiyuan->bsSkinEdit1->end(false);
        QTest::keyClicks(edit_huiyuan->bsSkinEdit1, "-");
        QCOMPARE(edit_huiyuan->bsSkinEdit1->text(), QStringLiteral("139 0000 1111 222"));
        edit_huiyuan->bsSkinComboBox1->setCurrentText("女士");
        click(edit_huiyuan->bsSkinButton1);
    });
    click(frame()->bsSkinSpeedButton2);
    QCOMPARE(shown,
             QStringList({name, "139 0000 1111 222", "010-8888", address, "100080-1234", email, remark}));
    QCOMPARE(LedgerFixture::rows("select j1, j2, j3, j4, j5, j6, j7, j8 from aj where jid = 1"),
             QStringList({QStringList({name, "139 0000 1111 222", "010-88889", address, "100080-1234", "女士",
                                       email, remark})
                              .join('|')}));

    // The next member's short texts bring the limits back: typing stops at 15 characters and
    // the filters still keep letters out of the number boxes.
    selectCard(2);
    onModal([&](QWidget*) {
        QCOMPARE(edit_huiyuan->bsSkinEdit4->text(), QStringLiteral("李四"));
        edit_huiyuan->bsSkinEdit4->end(false);
        QTest::keyClicks(edit_huiyuan->bsSkinEdit4, QString(20, QLatin1Char('a')));
        QCOMPARE(edit_huiyuan->bsSkinEdit4->text(), QStringLiteral("李四") + QString(13, QLatin1Char('a')));
        edit_huiyuan->bsSkinRichEdit1->setFocus();
        QTest::keyClicks(edit_huiyuan->bsSkinRichEdit1, QString(70, QLatin1Char('r')));
        QCOMPARE(edit_huiyuan->bsSkinRichEdit1->toPlainText(), QString(60, QLatin1Char('r')));
        edit_huiyuan->bsSkinEdit6->end(false);
        QTest::keyClicks(edit_huiyuan->bsSkinEdit6, "1a-2");
        QCOMPARE(edit_huiyuan->bsSkinEdit6->text(), QStringLiteral("12"));
        click(edit_huiyuan->bsSkinButton1);
    });
    click(frame()->bsSkinSpeedButton2);
    QCOMPARE(LedgerFixture::rows("select j1, j5, j8 from aj where jid = 2"),
             QStringList({QStringLiteral("李四") + QString(13, QLatin1Char('a')) + "|12|" +
                          QString(60, QLatin1Char('r'))}));
    QVERIFY(f.messages.messages.isEmpty());
}

void TestMembers::recordFramesListSearchAndPrint() {
    LedgerFixture f;
    QStringList printed;
    Reports::setPreviewHook([&](const QString& definition, const Reports::Parameters& p) {
        QVERIFY(p.isEmpty());
        printed << definition;
    });
    main_window->show();
    ListFrame* recharges = main_window->Fr_hy_chongzhi1;
    ListFrame* payments = main_window->Fr_hy_xiaofei1;
    auto titles = [](ListFrame* fr) {
        QStringList list;
        for (const GridColumn& c : fr->bsSkinDBGrid2->columns())
            list << c.field + "=" + c.title;
        return list;
    };
    QCOMPARE(titles(recharges),
             QStringList({"hid=充值凭证号", "h6=会员卡号", "h1=会员名", "h7=称呼", "h2=充值金额",
                          "h5=充值后余额", "h4=充值前余额", "h3=充值日期"}));
    QCOMPARE(titles(payments), QStringList({"g5=相关订单号", "g6=会员卡号", "g1=会员名", "g7=称呼",
                                            "g2=消费金额", "g4=卡中余额", "g3=消费日期"}));
    // Empty lists refuse to print.
    main_window->switchTo(recharges);
    click(recharges->bsSkinSpeedButton8);
    main_window->switchTo(payments);
    click(payments->bsSkinSpeedButton8);
    QCOMPARE(f.messages.texts(), QStringList({"没有会员充值记录", "没有会员消费记录"}));
    QVERIFY(printed.isEmpty());

    for (int card : {1, 2, 10, 11, 21, 5})
        addRecords(QString::number(card));
    main_window->switchTo(recharges);
    click(recharges->bsSkinSpeedButton6);
    main_window->switchTo(payments);
    click(payments->bsSkinSpeedButton6);
    QCOMPARE(recharges->query()->recordCount(), 6);
    QCOMPARE(recharges->bsSkinDBGrid2->cellText(0, 1), QStringLiteral("5")); // newest first
    QCOMPARE(payments->bsSkinDBGrid2->cellText(0, 0), QStringLiteral("7"));  // the order number first
    QTest::keyClicks(recharges->bsSkinEdit1, "1");
    QStringList cards;
    for (int row = 0; row < recharges->query()->recordCount(); ++row)
        cards << recharges->query()->text(row, "h6");
    QCOMPARE(cards, QStringList({"21", "11", "10", "1"}));
    QTest::keyClicks(payments->bsSkinEdit1, "2");
    QCOMPARE(payments->query()->recordCount(), 2);
    // Navigation keeps the search in force; printing prints what is listed.
    main_window->bsSkinButtonsBar1Sections2Items1Click();
    QCOMPARE(recharges->query()->recordCount(), 4);
    main_window->switchTo(recharges);
    click(recharges->bsSkinSpeedButton8);
    main_window->switchTo(payments);
    click(payments->bsSkinSpeedButton8);
    QCOMPARE(printed, QStringList({"ah.rav", "ag.rav"}));
    main_window->switchTo(recharges);
    click(recharges->bsSkinSpeedButton6);
    QCOMPARE(recharges->query()->recordCount(), 6);
    QCOMPARE(recharges->bsSkinEdit1->text(), QStringLiteral("1"));
    QString opened;
    onModal([&](QWidget* w) { opened = w->objectName(); });
    main_window->switchTo(payments);
    click(payments->bsSkinSpeedButton9);
    QCOMPARE(opened, QStringLiteral("help"));
}

void TestMembers::amountBoxFiltersKeysAndSteps() {
    DecimalSpinBox box("amount");
    QCOMPARE(box.text(), QStringLiteral("0.00"));
    box.setText(QString());
    QTest::keyClicks(&box, "-1a2.-5.6b");
    QCOMPARE(box.text(), QStringLiteral("-12.56"));
    box.setText(QString());
    QTest::keyClicks(&box, "12345678901234");
    QCOMPARE(box.text(), QStringLiteral("1234567890"));
    box.setText("2.5");
    box.stepBy(1);
    QCOMPARE(box.text(), QStringLiteral("3.50"));
    box.setText("0.005");
    box.stepBy(-1);
    QCOMPARE(box.text(), QStringLiteral("-0.995"));
    box.setText("-");
    box.stepBy(1);
    QCOMPARE(box.text(), QStringLiteral("1.00"));
    QTest::keyClick(&box, Qt::Key_Up);
    QCOMPARE(box.text(), QStringLiteral("2.00"));
}

LEDGER_TEST_MAIN(TestMembers)
#include "tst_members.moc"
