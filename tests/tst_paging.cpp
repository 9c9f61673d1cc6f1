// The big lists are answered from in-memory indexes and read page by page; they must give
// exactly the rows, counts and current rows the statements give when the database runs them.
#include "app/mainwindow.h"
#include "data/data_in.h"
#include "data/demodata.h"
#include "data/sharedquery.h"
#include "data/tableindex.h"
#include "data/work.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledgertest.h"
#include "warehouse/Fr_kf_chuku.h"
#include "widgets/databound.h"
#include "widgets/gridwindow.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlRecord>

class TestPaging : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void searchesGiveTheStatementsRows_data();
    void searchesGiveTheStatementsRows();
    void literalAndNumberPatterns();
    void writesAreSeenAtTheNextOpen();
    void pagesFollowMovesAndDeletes();
    void committedChangesAreFollowed();
    void newRowsJoinTheGridOnTop();
    void keysWithGaps();
    void longListsScrollThroughAWindow();
    void removingTheWindowsTopRowKeepsGridAndListInStep_data();
    void removingTheWindowsTopRowKeepsGridAndListInStep();
    void searchesInTwoThreads();

private:
    std::unique_ptr<LedgerFixture> f;
};

namespace {

// Every row of the statement run by the database, as display texts.
QStringList expected(SharedQuery* q) {
    QSqlQuery plain = Db::exec(q->table().startsWith('a') && q->table().size() == 2 && q->table()[1].isDigit()
                                   ? Db::lists()
                                   : Db::business(),
                               q->statement(), q->parameters());
    QStringList out;
    while (plain.next()) {
        QStringList cells;
        for (int i = 0; i < plain.record().count(); ++i)
            cells << SharedQuery::displayText(plain.value(i));
        out << cells.join('|');
    }
    return out;
}

QStringList shown(SharedQuery* q) {
    QStringList out;
    for (int r = 0; r < q->recordCount(); ++r) {
        QStringList cells;
        for (const QString& field : q->fields())
            cells << q->text(r, field);
        out << cells.join('|');
    }
    return out;
}

void compare(SharedQuery* q) {
    QVERIFY(q->isPaged());
    const QStringList want = expected(q);
    QCOMPARE(q->recordCount(), want.size());
    QCOMPARE(q->rowCount(), want.size());
    QCOMPARE(shown(q), want);
    QCOMPARE(q->currentRow(), want.isEmpty() ? -1 : 0);
}

} // namespace

namespace {
// The searches only read: their rows share one shop (on a server, making one takes seconds).
bool sharesTheShop() {
    return QByteArray(QTest::currentTestFunction()) == "searchesGiveTheStatementsRows";
}

// Lets the stock-out list remove its current row (the program's lists only read).
void removesStockOutRecords(SharedQuery* q) {
    q->setWriter({{}, {}, [](const SharedQuery& list, int row) {
                      LedgerFixture::exec("delete from ae where eid = :a", {{":a", list.value(row, "eid")}});
                  }});
}
} // namespace

void TestPaging::init() {
    if (f && sharesTheShop())
        return;
    f.reset();
    f = std::make_unique<LedgerFixture>();
    DemoData::fill(DemoData::countsFor(0.002));
    for (const char* name :
         {"O'Brien 茶", "50%折扣装", "a_b", "axb", "AXB", "金", "金金", "_x", "A\\B 架", "a%b"})
        LedgerFixture::exec("insert into ab (b3) values (:a)", {{":a", QString::fromUtf8(name)}});
    LedgerFixture::exec("insert into ab (b3) values (NULL)");
    for (SharedQuery* q : Data_in->findChildren<SharedQuery*>())
        if (q->isOpen())
            q->refresh();
}

void TestPaging::cleanup() {
    if (!sharesTheShop())
        f.reset();
}

void TestPaging::searchesGiveTheStatementsRows_data() {
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    for (const char* t : {"", "金", "金金", "牛奶", "矿泉水", "%", "_", "a_b", "axb", "O'B", "'", "50%",
                          "无此货", "5", "\\", "\\B", "\\%", "a\\%b"})
        QTest::newRow(qPrintable(QStringLiteral("ab ") + QString::fromUtf8(t)))
            << "Query_ab"
            << "b3" << QString::fromUtf8(t);
    for (const char* t : {"", "福", "香", "鲜牛", "ml"})
        QTest::newRow(qPrintable(QStringLiteral("ae ") + QString::fromUtf8(t)))
            << "Query_ae"
            << "e2" << QString::fromUtf8(t);
    QTest::newRow("ac 1 char") << "Query_ac"
                               << "c2" << QStringLiteral("乐");
    QTest::newRow("aa by number") << "Query_aa"
                                  << "aid" << QStringLiteral("1");
    QTest::newRow("aa by category") << "Query_aa"
                                    << "a4" << QStringLiteral("批发");
    QTest::newRow("aj by card") << "Query_aj"
                                << "jid" << QStringLiteral("2");
    QTest::newRow("ag by card") << "Query_ag"
                                << "g6" << QStringLiteral("3");
    QTest::newRow("ah by card") << "Query_ah"
                                << "h6" << QStringLiteral("1");
}

void TestPaging::searchesGiveTheStatementsRows() {
    QFETCH(QString, query);
    QFETCH(QString, field);
    QFETCH(QString, text);
    SharedQuery* q = Data_in->query(query);
    q->search(field, text);
    compare(q);
    // A null text (an untouched box) lists everything, like an empty one.
    q->search(field, QString());
    compare(q);
}

void TestPaging::literalAndNumberPatterns() {
    SharedQuery* q = Data_in->Query_aa;
    // A server's LIKE minds the case of Latin letters and takes a backslash as an escape: the
    // form the index answers there is the one the search uses.
    q->reset(Db::isServer(Db::business())
                 ? "select * from aa where cast(a2 as text) ilike '未结算' escape '' order by aid desc"
                 : "select * from aa where a2 like '未结算' order by aid desc");
    compare(q);
    QVERIFY(q->recordCount() > 0);
    q->reset("select * from aa order by aid desc");
    compare(q);
    // Statements the index does not answer still work, read whole.
    q->reset("select * from aa where aid < 5 order by aid desc");
    QVERIFY(!q->isPaged());
    QCOMPARE(q->recordCount(), 4);
    Data_in->Query_ab->reset("select * from ab where b3 like :p order by bid desc", {{":p", "%金%"}});
    QVERIFY(!Data_in->Query_ab->isPaged());
    QCOMPARE(shown(Data_in->Query_ab), expected(Data_in->Query_ab));
    if (Db::isServer(Db::business())) {
        // The server's own LIKE, case and all, is left to the server.
        q->reset("select * from aa where a2 like '未结算' order by aid desc");
        QVERIFY(!q->isPaged());
        QCOMPARE(shown(q), expected(q));
    }
}

void TestPaging::writesAreSeenAtTheNextOpen() {
    SharedQuery* q = Data_in->Query_ab;
    q->search("b3", "金");
    const int before = q->recordCount();
    LedgerFixture::exec("insert into ab (b3) values ('新金牌')");
    LedgerFixture::exec("update ab set b3 = '银' where b3 = '金金'");
    q->refresh();
    QCOMPARE(q->recordCount(), before); // one more, one fewer
    compare(q);
    {
        // A write rolled back leaves no trace in the lists either.
        Transaction tx(Db::business());
        LedgerFixture::exec("insert into ab (b3) values ('金回滚')");
        LedgerFixture::exec("delete from ab where b3 = '新金牌'");
    }
    q->refresh();
    compare(q);
    // Deleting every row at once is seen too.
    LedgerFixture::exec("delete from ae");
    Data_in->Query_ae->refresh();
    QCOMPARE(Data_in->Query_ae->recordCount(), 0);
    LedgerFixture::exec("insert into ae (e2) values ('金')");
    Data_in->Query_ae->search("e2", "金");
    compare(Data_in->Query_ae);
}

void TestPaging::pagesFollowMovesAndDeletes() {
    SharedQuery* q = Data_in->Query_ae;
    q->refresh();
    const QStringList all = expected(q);
    QVERIFY(all.size() > 200);
    q->last();
    QCOMPARE(q->currentRow(), all.size() - 1);
    QCOMPARE(q->fieldText("eid"), all.last().section('|', 0, 0));
    q->setCurrentRow(130);
    const QString gone = q->fieldText("eid");
    removesStockOutRecords(q);
    q->deleteCurrent();
    QCOMPARE(q->recordCount(), all.size() - 1);
    QCOMPARE(q->currentRow(), 130);
    QCOMPARE(q->fieldText("eid"), all[131].section('|', 0, 0));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ae where eid = :a", {{":a", gone}}).toInt(), 0);
    q->refresh();
    compare(q);
}

LEDGER_TEST_MAIN(TestPaging)
#include "tst_paging.moc"

void TestPaging::committedChangesAreFollowed() {
    SharedQuery* q = Data_in->Query_ab;
    q->search("b3", "金");
    QVERIFY(q->recordCount() > 2);
    q->setCurrentRow(2);
    const qint64 second = q->value(1, "bid").toLongLong();
    QSignalSpy resets(q, &QAbstractItemModel::modelReset);
    QSignalSpy changed(q, &QAbstractItemModel::dataChanged);

    // A change that keeps the listed rows reads their values again without resetting the views.
    Products::Fields fields;
    fields.name = QStringLiteral("金色年华");
    fields.sale = Currency::parse("9.5");
    Products::update(second, fields);
    QCOMPARE(resets.count(), 0);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(q->text(1, "b3"), QStringLiteral("金色年华"));
    QCOMPARE(q->text(1, "b8"), QStringLiteral("9.5"));
    QCOMPARE(q->currentRow(), 0);
    compare(q);

    // One that takes a row out of the search lists the rows again.
    fields.name = QStringLiteral("银");
    Products::update(second, fields);
    QVERIFY(resets.count() > 0);
    compare(q);
    QVERIFY(q->text(1, "bid").toLongLong() != second);

    // A new row is listed at once, first.
    const qint64 added = Products::create(
        Products::Fields{"", "", QStringLiteral("新金"), "", {}, {}, {}, "", ""}, Currency::parse("1"));
    QCOMPARE(q->value(0, "bid").toLongLong(), added);
    compare(q);
}

void TestPaging::newRowsJoinTheGridOnTop() {
    main_window->switchTo(main_window->Fr_kf_chuku1);
    auto* grid = child<DataGrid>(main_window->Fr_kf_chuku1, "bsSkinDBGrid2");
    SharedQuery* q = Data_in->Query_ae;
    const qint64 product = LedgerFixture::scalar("select bid from ab where b3 = '金金'").toLongLong();
    LedgerFixture::exec("update ab set b4 = 100, b8 = 2, b9 = 200 where bid = :b", {{":b", product}});
    q->refresh();
    q->setCurrentRow(3);
    QSignalSpy resets(q, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(q, &QAbstractItemModel::rowsInserted);
    const int before = grid->rowCount();
    const int nameColumn = q->fieldIndex("e2");

    // A line's stock-out record joins the whole list on top; the grid keeps its rows.
    const Orders::LineAdded added = Orders::addLine(0, product, Currency::parse("2"));
    QCOMPARE(resets.count(), 0);
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted[0][1].toInt(), 0);
    QCOMPARE(inserted[0][2].toInt(), 0);
    QCOMPARE(grid->rowCount(), before + 1);
    QCOMPARE(grid->indexOfRow(0, nameColumn).data().toString(), QStringLiteral("金金"));
    QCOMPARE(grid->currentIndex().row(), 0);
    compare(q);

    // A searched list takes in the new rows it lists in the same way.
    child<QLineEdit>(main_window->Fr_kf_chuku1, "bsSkinEdit1")->setText(QStringLiteral("金金"));
    const int found = grid->rowCount();
    QVERIFY(found >= 1 && found < before);
    resets.clear();
    inserted.clear();
    Orders::addLine(added.order, product, Currency::parse("1"));
    Orders::addLine(added.order, product, Currency::parse("3"));
    QCOMPARE(resets.count(), 0);
    QCOMPARE(inserted.count(), 2);
    QCOMPARE(grid->rowCount(), found + 2);
    QCOMPARE(grid->indexOfRow(0, q->fieldIndex("e3")).data().toString(), QStringLiteral("3"));
    compare(q);

    // A commit that also takes a listed row away lists the rows again.
    {
        Db::Work work(Db::business());
        work.exec("insert into ae (e2, e3) values ('金金', '5')");
        work.exec("delete from ae where eid = (select min(eid) from ae where e2 = '金金')");
        work.wrote("ae", 0);
        work.commit();
    }
    QVERIFY(resets.count() > 0);
    QCOMPARE(grid->rowCount(), found + 2);
    QCOMPARE(grid->indexOfRow(0, q->fieldIndex("e3")).data().toString(), QStringLiteral("5"));
    compare(q);
}

void TestPaging::keysWithGaps() {
    SharedQuery* q = Data_in->Query_ae;
    auto compareSearches = [q] {
        for (const char* text : {"", "福", "1", "金"}) {
            q->search("e2", QString::fromUtf8(text));
            compare(q);
        }
        q->search("eid", "1");
        compare(q);
    };
    // The index is read once here, over keys without gaps.
    compareSearches();
    const qint64 top = LedgerFixture::scalar("select max(eid) from ae").toLongLong();
    const qint64 bottom = LedgerFixture::scalar("select min(eid) from ae").toLongLong();
    QVERIFY(top - bottom > 20);
    // Rows taken from either end, from the middle, and put back out of order.
    LedgerFixture::exec("delete from ae where eid = :a", {{":a", top}});
    LedgerFixture::exec("delete from ae where eid = :a", {{":a", bottom}});
    compareSearches();
    LedgerFixture::exec("insert into ae (eid, e2) values (:a, '金福')", {{":a", top + 5}});
    LedgerFixture::exec("delete from ae where eid = :a", {{":a", bottom + 7}});
    compareSearches();
    LedgerFixture::exec("insert into ae (eid, e2) values (:a, '金')", {{":a", bottom + 7}});
    LedgerFixture::exec("insert into ae (eid, e2) values (:a, '福')", {{":a", top}});
    LedgerFixture::exec("insert into ae (e2) values ('福1')");
    compareSearches();
    // A row without the field is not listed by an empty search box.
    LedgerFixture::exec("insert into ae (e2) values (NULL)");
    compareSearches();
    LedgerFixture::exec("update ae set e2 = '福' where e2 is null");
    compareSearches();
    LedgerFixture::exec("update ae set e2 = null where eid = :a", {{":a", top + 5}});
    compareSearches();
    // Read again from files whose keys have gaps.
    Data_in->reopen([] {});
    compareSearches();
    LedgerFixture::exec("delete from ae where eid < :a", {{":a", bottom + 10}});
    compareSearches();
}

// A list longer than the grid's window: the view holds a window of it, the grid's own scroll bar
// covers every row, and keys, clicks, the bar and the query's moves all reach every row.
void TestPaging::longListsScrollThroughAWindow() {
    LedgerFixture::exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 6000) "
                        "insert into ae (e2, e3) select '长' || i, i from n");
    main_window->show();
    main_window->switchTo(main_window->Fr_kf_chuku1);
    auto* grid = child<DataGrid>(main_window->Fr_kf_chuku1, "bsSkinDBGrid2");
    grid->allowSeveralRows();
    SharedQuery* q = Data_in->Query_ae;
    q->refresh();
    QApplication::processEvents();
    const int total = q->recordCount();
    QVERIFY(total > GridWindow::Capacity);
    QCOMPARE(grid->rowCount(), total);
    QCOMPARE(grid->model()->rowCount(), GridWindow::Capacity);
    QCOMPARE(grid->verticalHeader()->count(), GridWindow::Capacity);
    QScrollBar* bar = grid->rowScrollBar();
    QVERIFY(bar->isVisible());
    QVERIFY(!grid->verticalScrollBar()->isVisible());
    const int page = bar->pageStep();
    QVERIFY(page > 3);
    QCOMPARE(bar->maximum(), total - page);
    {
        // A grid shown before its list grows long, and one bound to the list once it is long:
        // each shows the grid's bar only.
        SharedQuery own(QStringLiteral("own"), q->connection(), q->table(), q->key());
        DataGrid before(QStringLiteral("before"));
        before.bind(&own, {{"e2", QStringLiteral("产品名称"), 100}});
        before.resize(300, 300);
        before.show();
        QVERIFY(QTest::qWaitForWindowExposed(&before));
        own.reset(own.defaultStatement());
        QApplication::processEvents();
        DataGrid after(QStringLiteral("after"));
        after.bind(q, {{"e2", QStringLiteral("产品名称"), 100}});
        after.resize(300, 300);
        after.show();
        QVERIFY(QTest::qWaitForWindowExposed(&after));
        for (DataGrid* other : {&before, &after}) {
            QVERIFY(other->rowScrollBar()->isVisible());
            QVERIFY(!other->verticalScrollBar()->isVisible());
            QCOMPARE(other->model()->rowCount(), GridWindow::Capacity);
            QCOMPARE(other->rowCount(), total);
        }
    }

    const int name = q->fieldIndex("e2");
    auto shownRow = [&](int y) {
        return grid->rowOf(grid->indexAt(QPoint(5, y)));
    };
    auto inView = [&](int row) {
        const QRect cell = grid->visualRect(grid->indexOfRow(row, name));
        return cell.isValid() && grid->viewport()->rect().contains(cell);
    };
    auto sameText = [&](int row) {
        return grid->indexOfRow(row, name).data().toString() == q->text(row, "e2");
    };

    // The list's ends with Ctrl+End and Ctrl+Home.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(q->currentRow(), total - 1);
    QCOMPARE(grid->rowOf(grid->currentIndex()), total - 1);
    QVERIFY(inView(total - 1));
    QVERIFY(sameText(total - 1));
    QCOMPARE(bar->value(), bar->maximum());
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(q->currentRow(), total - 2);
    QTest::keyClick(grid, Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(q->currentRow(), 0);
    QCOMPARE(bar->value(), 0);
    QCOMPARE(shownRow(2), 0);

    // Page after page down past the window's end: each one further, the current row in view.
    int before = 0;
    while (q->currentRow() < GridWindow::Capacity + page) {
        QTest::keyClick(grid, Qt::Key_PageDown);
        QVERIFY(q->currentRow() > before);
        QVERIFY(inView(q->currentRow()));
        QCOMPARE(grid->rowOf(grid->currentIndex()), q->currentRow());
        before = q->currentRow();
    }
    QVERIFY(sameText(q->currentRow()));
    QCOMPARE(bar->value(), shownRow(2));

    // The bar moved to the middle shows the rows from there; a click there picks that row.
    bar->setValue(total / 2);
    QCOMPARE(shownRow(2), total / 2);
    QVERIFY(sameText(total / 2 + 1));
    QSignalSpy clicks(grid, &DataGrid::cellClicked);
    const QModelIndex third = grid->indexOfRow(total / 2 + 3, name);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(third).center());
    QCOMPARE(q->currentRow(), total / 2 + 3);
    QCOMPARE(clicks.count(), 1);
    QCOMPARE(clicks[0][0].toInt(), total / 2 + 3);
    // Shift with the keys selects from there, in rows of the list.
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(grid->selectedRows(), QList<int>({total / 2 + 3, total / 2 + 4, total / 2 + 5}));

    // The bar at its end shows the last rows whole; the query's move back to the top follows.
    bar->setValue(bar->maximum());
    QVERIFY(inView(total - 1));
    QCOMPARE(shownRow(grid->viewport()->height() - 2), total - 1);
    q->setCurrentRow(100);
    QCOMPARE(grid->rowOf(grid->currentIndex()), 100);
    QVERIFY(inView(100));
    QCOMPARE(bar->value(), shownRow(2));

    // Marked rows far down the list are drawn marked.
    grid->setRowMark([total](int row) { return row == total - 1; });
    QVERIFY(grid->indexOfRow(total - 1, name).data(Qt::BackgroundRole).isValid());
    QVERIFY(!grid->indexOfRow(total - 2, name).data(Qt::BackgroundRole).isValid());
    grid->setRowMark({});

    // A new row on top while the grid shows the list's end: the list takes it in, the grid
    // follows the first row, which is the new one.
    bar->setValue(bar->maximum());
    const qint64 product = LedgerFixture::scalar("select bid from ab where b3 = '金金'").toLongLong();
    LedgerFixture::exec("update ab set b4 = 100, b8 = 2, b9 = 200 where bid = :b", {{":b", product}});
    Orders::addLine(0, product, Currency::parse("2"));
    QCOMPARE(grid->rowCount(), total + 1);
    QCOMPARE(bar->maximum(), total + 1 - page);
    QCOMPARE(q->currentRow(), 0);
    QCOMPARE(shownRow(2), 0);
    QCOMPARE(grid->indexAt(QPoint(5, 2)).siblingAtColumn(name).data().toString(), QStringLiteral("金金"));
    QVERIFY(sameText(total));

    // A search shorter than the window is shown whole, with the view's own bar.
    child<QLineEdit>(main_window->Fr_kf_chuku1, "bsSkinEdit1")->setText(QStringLiteral("长1"));
    QVERIFY(q->recordCount() < GridWindow::Capacity);
    QCOMPARE(grid->model()->rowCount(), q->recordCount());
    QVERIFY(!bar->isVisible());
    compare(q);
}

void TestPaging::removingTheWindowsTopRowKeepsGridAndListInStep_data() {
    QTest::addColumn<bool>("scrolled");
    QTest::newRow("the list's top") << false;
    QTest::newRow("scrolled down the list") << true;
}

void TestPaging::removingTheWindowsTopRowKeepsGridAndListInStep() {
    QFETCH(bool, scrolled);
    LedgerFixture::exec("with recursive n(i) as (select 1 union all select i + 1 from n where i < 6000) "
                        "insert into ae (e2, e3) select '长' || i, i from n");
    SharedQuery* q = Data_in->Query_ae;
    q->refresh();
    // A grid's window over the long list, starting at the row removed.
    GridWindow window(q);
    QVERIFY(window.windowed());
    const int name = q->fieldIndex("e2");
    const int top = scrolled ? q->recordCount() - GridWindow::Capacity - 100 : 0;
    QVERIFY(!scrolled || top > 0);
    window.moveTo(top);
    QCOMPARE(window.offset(), top);
    q->setCurrentRow(top);
    // What a view keeps of the window (its current row, its selection) follows the list's rows.
    const QPersistentModelIndex kept = window.index(1, name);
    const QString next = q->text(top + 1, "e2");
    QCOMPARE(kept.data().toString(), next);
    const int total = q->recordCount();

    removesStockOutRecords(q);
    q->deleteCurrent();
    QCOMPARE(q->recordCount(), total - 1);
    QCOMPARE(q->text(top, "e2"), next);
    QCOMPARE(window.offset(), top);
    QCOMPARE(window.rowCount(), GridWindow::Capacity);
    QCOMPARE(kept.row(), 0);
    QCOMPARE(kept.data().toString(), next);
    for (int r : {0, 1, GridWindow::Capacity - 1})
        QCOMPARE(window.index(r, name).data().toString(), q->text(top + r, "e2"));
}

// A long table is searched by two threads, each over half of the rows: the same rows, in the same
// order, as the statement.
void TestPaging::searchesInTwoThreads() {
    TableIndex::setParallelRows(100);
    SharedQuery* q = Data_in->Query_ae;
    QVERIFY(q->recordCount() > 1000);
    for (const char* text : {"金", "1", "福", "%", "_", "没有这样的名称"}) {
        q->search("e2", QString::fromUtf8(text));
        compare(q);
    }
    q->search("eid", "1");
    compare(q);
    Data_in->Query_ab->search("b3", QStringLiteral("金"));
    compare(Data_in->Query_ab);
    TableIndex::setParallelRows(size_t(1) << 20);
}
