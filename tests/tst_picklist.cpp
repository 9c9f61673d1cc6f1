#include "app/mainwindow.h"
#include "data/data_in.h"
#include "data/work.h"
#include "ledger/picklists.h"
#include "ledgertest.h"
#include "warehouse/Fr_kucun.h"
#include "warehouse/edit_chanpin.h"
#include "warehouse/new_chanpin.h"
#include "widgets/databound.h"
#include "widgets/list.h"

#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QWheelEvent>

class TestPickList : public QObject {
    Q_OBJECT
private slots:
    void openersShowTheirOwnList();
    void entryAddedIsOfferedAtOnce();
    void abandonedEmptyRowDisappears();
    void deleteAsksNothingAndProductsKeepTheirText();
    void insertLeftUntypedIsNeverStored();
    void clickAfterEscapedInsertPicksTheClickedEntry();
    void wheelStoresTheTypedEntry();
    void deletedChoiceLeavesTheProductListEmpty();
    void entriesAreStoredAsOperations();
    void operationsWriteTheirOwnList_data();
    void operationsWriteTheirOwnList();
};

using namespace User;

namespace {

// The stock page, shown as the user sees it before clicking its buttons.
TFr_kucun* stockPage() {
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    return main_window->Fr_kucun1;
}

QStringList visiblePanels() {
    QStringList names;
    for (const char* name : {"caidan_dalei", "caidan_xilei", "caidan_danwei", "caidan_dingdanlei"})
        if (list->findChild<QWidget*>(name)->isVisible())
            names << QString::fromLatin1(name);
    return names;
}

// Clicks a pick-list button of a product dialog (the dialog itself need not be open: the button
// opens the editor all the same) and runs the action on the editor it opens.
void openEditor(QAbstractButton* button, const std::function<void(Tlist*)>& action) {
    QVERIFY(button);
    onModal([&](QWidget* w) {
        auto* editor = qobject_cast<Tlist*>(w);
        QVERIFY(editor);
        action(editor);
    });
    QTest::mouseClick(button, Qt::LeftButton);
}

// Types an entry into the open cell of the visible list, as the user does after "insert".
void typeIntoCell(const Tlist::Panel& p, const QString& text) {
    QLineEdit* cell = nullptr;
    for (QLineEdit* e : p.grid->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            cell = e;
    QVERIFY(cell);
    cell->setText(text);
}

// The open cell editor of the visible list.
QLineEdit* openCell(const Tlist::Panel& p) {
    for (QLineEdit* e : p.grid->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            return e;
    return nullptr;
}

QModelIndex entryCell(const Tlist::Panel& p, int row) {
    return p.grid->indexOfRow(row, p.query->fieldIndex("z1"));
}

// A mouse click on a row of the list.
void clickRow(const Tlist::Panel& p, int row) {
    QTest::mouseClick(p.grid->viewport(), Qt::LeftButton, {}, p.grid->visualRect(entryCell(p, row)).center());
}

// One wheel turn over the list: toward the user (negative) moves down.
void wheel(const Tlist::Panel& p, int delta) {
    QWidget* target = p.grid->viewport();
    QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

// The texts the list shows, top to bottom.
QStringList shownEntries(const Tlist::Panel& p) {
    QStringList out;
    for (int row = 0; row < p.grid->rowCount(); ++row)
        out << entryCell(p, row).data().toString();
    return out;
}

void choose(QComboBox* list, const QString& text) {
    QVERIFY(list);
    const int index = list->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    list->setCurrentIndex(index);
}

QStringList entries(const QString& table) {
    QStringList out;
    QSqlQuery q = Db::exec(Db::lists(), QStringLiteral("select z1 from %1 order by zid desc").arg(table));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

} // namespace

void TestPickList::openersShowTheirOwnList() {
    LedgerFixture f;
    main_window->show();
    QCOMPARE(list->windowTitle(), QStringLiteral("菜单项编辑"));
    QCOMPARE(list->size(), QSize(225, 371));
    QStringList seen;
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        for (QAbstractButton* b : {d->bsSkinSpeedButton1, d->bsSkinSpeedButton2, d->bsSkinSpeedButton3})
            openEditor(b, [&](Tlist* editor) {
                seen << visiblePanels().join(",");
                const Tlist::Panel* p = editor->visiblePanel();
                seen << p->header->text() + "/" + p->grid->objectName() + "/" + p->navigator->objectName();
                seen << p->grid->model()->headerData(p->query->fieldIndex("z1"), Qt::Horizontal).toString();
            });
    });
    click(stockPage()->bsSkinSpeedButton5);
    QCOMPARE(seen, QStringList({"caidan_dalei", "大类/bsSkinDBGrid1/bsSkinDBNavigator1", "菜单项",
                                "caidan_xilei", "细类/bsSkinDBGrid2/bsSkinDBNavigator2", "菜单项",
                                "caidan_danwei", "数量单位/bsSkinDBGrid3/bsSkinDBNavigator3", "菜单项"}));
    // The order category dialog's choice.
    list->showPanel("caidan_dingdanlei");
    seen.clear();
    onModal([&](QWidget*) { seen << visiblePanels().join(","); });
    list->exec();
    QCOMPARE(seen, QStringList({"caidan_dingdanlei"}));
    QCOMPARE(list->visiblePanel()->query, Data_in->Query_a4);
}

void TestPickList::entryAddedIsOfferedAtOnce() {
    LedgerFixture f;
    main_window->show();
    const QStringList before = entries("a3");
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        openEditor(d->bsSkinSpeedButton3, [&](Tlist* editor) {
            const Tlist::Panel& p = *editor->visiblePanel();
            click(p.insertButton);
            QVERIFY(p.grid->viewport()->findChild<QLineEdit*>());
            typeIntoCell(p, "打");
            click(p.postButton);
            QCOMPARE(p.query->state(), SharedQuery::State::Browse);
            // A second entry typed and left unposted is stored when the editor closes.
            click(p.insertButton);
            typeIntoCell(p, "双");
        });
        QCOMPARE(d->bsSkinDBLookupComboBox4->findText("打") >= 0, true);
        QCOMPARE(d->bsSkinDBLookupComboBox4->findText("双") >= 0, true);
        d->bsSkinDBLookupComboBox2->setCurrentIndex(0);
        d->bsSkinEdit1->setText("筷子");
        d->bsSkinEdit2->setText("10");
        d->bsSkinDBLookupComboBox4->setCurrentIndex(d->bsSkinDBLookupComboBox4->findText("双"));
        d->bsSkinEdit6->setValue(2);
        click(d->bsSkinButton1);
    });
    click(stockPage()->bsSkinSpeedButton5);
    QCOMPARE(f.messages.messages.size(), 0);
    QCOMPARE(entries("a3"), QStringList({"双", "打"}) + before);
    QCOMPARE(LedgerFixture::scalar("select b5 from ab").toString(), QStringLiteral("双"));

    // An existing entry edited in place is stored by post.
    openEditor(edit_chanpin->bsSkinSpeedButton1, [&](Tlist* editor) {
        const Tlist::Panel& p = *editor->visiblePanel();
        QCOMPARE(p.panel->objectName(), QStringLiteral("caidan_dalei"));
        p.grid->selectRow(1);
        p.grid->edit(p.grid->indexOfRow(1, p.query->fieldIndex("z1")));
        typeIntoCell(p, "饮品");
        click(p.postButton);
    });
    QCOMPARE(entries("a1").value(1), QStringLiteral("饮品"));
    QVERIFY(edit_chanpin->bsSkinDBLookupComboBox2->findText("饮品") >= 0);
}

void TestPickList::abandonedEmptyRowDisappears() {
    LedgerFixture f;
    main_window->show();
    const QStringList before = entries("a2");
    openEditor(new_chanpin->bsSkinSpeedButton2, [&](Tlist* editor) {
        const Tlist::Panel& p = *editor->visiblePanel();
        click(p.insertButton);
        QCOMPARE(p.query->recordCount(), before.size() + 1);
        QCOMPARE(p.query->state(), SharedQuery::State::Insert);
        // The grid loses the focus to another window.
        main_window->activateWindow();
        QWidget outside;
        outside.show();
        outside.setFocus();
        QApplication::setActiveWindow(&outside);
        QTRY_COMPARE(p.query->recordCount(), before.size());
        QCOMPARE(p.query->state(), SharedQuery::State::Browse);
        QCOMPARE(entries("a2"), before);
        editor->activateWindow();
        QApplication::setActiveWindow(editor);
        // An empty row inserted and the window closed: nothing is stored either.
        click(p.insertButton);
        QCOMPARE(p.query->recordCount(), before.size() + 1);
    });
    QCOMPARE(Data_in->Query_a2->recordCount(), before.size());
    QCOMPARE(entries("a2"), before);
    QCOMPARE(Data_in->Query_a2->state(), SharedQuery::State::Browse);
}

void TestPickList::deleteAsksNothingAndProductsKeepTheirText() {
    LedgerFixture f;
    main_window->show();
    LedgerFixture::exec("insert into ab (b1,b3,b4,b5,b8,b9) values ('饮料','可乐',1,'瓶',3,3)");
    const QStringList before = entries("a1");
    openEditor(new_chanpin->bsSkinSpeedButton1, [&](Tlist* editor) {
        const Tlist::Panel& p = *editor->visiblePanel();
        p.grid->selectRow(int(before.indexOf("饮料")));
        click(p.deleteButton);
        QCOMPARE(p.query->recordCount(), before.size() - 1);
    });
    QCOMPARE(f.messages.messages.size(), 0);
    QStringList expected = before;
    expected.removeAll("饮料");
    QCOMPARE(entries("a1"), expected);
    QCOMPARE(LedgerFixture::scalar("select b1 from ab").toString(), QStringLiteral("饮料"));
    // The product opens for editing with its major category shown after the list's own entries.
    main_window->switchTo(main_window->Fr_kucun1);
    main_window->Fr_kucun1->bsSkinSpeedButton6->click();
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tedit_chanpin*>(w);
        QCOMPARE(d->bsSkinDBLookupComboBox2->currentText(), QStringLiteral("饮料"));
        QCOMPARE(d->bsSkinDBLookupComboBox2->currentIndex(), Data_in->Query_a1->recordCount());
        QCOMPARE(d->bsSkinDBLookupComboBox4->currentText(), QStringLiteral("瓶"));
    });
    click(stockPage()->bsSkinSpeedButton1);
}

void TestPickList::insertLeftUntypedIsNeverStored() {
    LedgerFixture f;
    main_window->show();
    const QStringList before = entries("a3");
    openEditor(new_chanpin->bsSkinSpeedButton3, [&](Tlist* editor) {
        const Tlist::Panel& p = *editor->visiblePanel();
        // Insert, then insert again: one empty row, nothing stored.
        click(p.insertButton);
        click(p.insertButton);
        QCOMPARE(p.query->recordCount(), before.size() + 1);
        QCOMPARE(entries("a3"), before);
        // A click on another row drops it.
        clickRow(p, 3);
        QCOMPARE(p.query->state(), SharedQuery::State::Browse);
        QCOMPARE(shownEntries(p), before);
        QCOMPARE(entries("a3"), before);
        QCOMPARE(p.query->fieldText("z1"), before[2]);
        // So does the wheel.
        click(p.insertButton);
        wheel(p, -120);
        QCOMPARE(p.query->state(), SharedQuery::State::Browse);
        QCOMPARE(shownEntries(p), before);
        QCOMPARE(entries("a3"), before);
        // A text typed and wiped out again leaves the row as empty as it came.
        click(p.insertButton);
        typeIntoCell(p, "打");
        typeIntoCell(p, "");
        clickRow(p, 0);
        QCOMPARE(shownEntries(p), before);
        QCOMPARE(entries("a3"), before);
        // The post button stores nothing for an empty row either.
        click(p.insertButton);
        click(p.postButton);
        QCOMPARE(p.query->state(), SharedQuery::State::Browse);
        QCOMPARE(shownEntries(p), before);
        QCOMPARE(entries("a3"), before);
        // And closing the editor.
        click(p.insertButton);
        click(p.insertButton);
    });
    QCOMPARE(entries("a3"), before);
    QCOMPARE(Data_in->Query_a3->recordCount(), before.size());
    QCOMPARE(new_chanpin->bsSkinDBLookupComboBox4->count(), before.size());
    QCOMPARE(new_chanpin->bsSkinDBLookupComboBox4->findText(QString()), -1);
}

void TestPickList::clickAfterEscapedInsertPicksTheClickedEntry() {
    LedgerFixture f;
    main_window->show();
    const QStringList before = entries("a3");
    QString clicked;
    openEditor(new_chanpin->bsSkinSpeedButton3, [&](Tlist* editor) {
        const Tlist::Panel& p = *editor->visiblePanel();
        click(p.insertButton);
        QLineEdit* cell = openCell(p);
        QVERIFY(cell);
        QTest::keyClick(cell, Qt::Key_Escape);
        QVERIFY(!openCell(p));
        // The third entry, shown below the empty row.
        const int row = int(shownEntries(p).indexOf(before[2]));
        QVERIFY(row >= 0);
        clickRow(p, row);
        clicked = p.query->fieldText("z1");
        QCOMPARE(p.grid->currentIndex().row(), p.query->currentRow());
        click(p.deleteButton);
    });
    QCOMPARE(clicked, before[2]);
    QStringList expected = before;
    expected.removeAt(2);
    QCOMPARE(entries("a3"), expected);
}

void TestPickList::wheelStoresTheTypedEntry() {
    LedgerFixture f;
    main_window->show();
    const QStringList before = entries("a3");
    openEditor(new_chanpin->bsSkinSpeedButton3, [&](Tlist* editor) {
        const Tlist::Panel& p = *editor->visiblePanel();
        // A new entry typed and left by the wheel.
        click(p.insertButton);
        typeIntoCell(p, "打");
        wheel(p, -120);
        QCOMPARE(p.query->state(), SharedQuery::State::Browse);
        QVERIFY(!openCell(p));
        QCOMPARE(entries("a3"), QStringList({"打"}) + before);
        QCOMPARE(p.query->fieldText("z1"), before[0]);
        // An entry changed in its cell and left by the wheel.
        clickRow(p, 2);
        p.grid->edit(entryCell(p, 2));
        typeIntoCell(p, "双");
        wheel(p, 120);
        QCOMPARE(p.query->state(), SharedQuery::State::Browse);
        QCOMPARE(p.query->fieldText("z1"), before[0]);
    });
    QStringList expected = QStringList({"打"}) + before;
    expected[2] = "双";
    QCOMPARE(entries("a3"), expected);
}

void TestPickList::deletedChoiceLeavesTheProductListEmpty() {
    LedgerFixture f;
    main_window->show();
    LedgerFixture::exec("insert into ab (b1,b3,b4,b5,b8,b9) values ('饮料','可乐',1,'瓶',3,3)");
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        choose(d->bsSkinDBLookupComboBox2, "饮料");
        d->bsSkinEdit1->setText("橙汁");
        d->bsSkinEdit2->setText("3");
        choose(d->bsSkinDBLookupComboBox4, "瓶");
        d->bsSkinEdit6->setValue(4);
        // The chosen unit is deleted; the entry above the chosen major category too.
        openEditor(d->bsSkinSpeedButton3, [&](Tlist* editor) {
            const Tlist::Panel& p = *editor->visiblePanel();
            p.grid->selectRow(int(shownEntries(p).indexOf("瓶")));
            click(p.deleteButton);
        });
        openEditor(d->bsSkinSpeedButton1, [&](Tlist* editor) {
            const Tlist::Panel& p = *editor->visiblePanel();
            p.grid->selectRow(int(shownEntries(p).indexOf("饮料")) - 1);
            click(p.deleteButton);
        });
        QCOMPARE(d->bsSkinDBLookupComboBox4->currentIndex(), -1);
        QCOMPARE(d->bsSkinDBLookupComboBox4->currentText(), QString());
        QCOMPARE(d->bsSkinDBLookupComboBox2->currentText(), QStringLiteral("饮料"));
        // The required-field check asks for the unit.
        f.messages.clear();
        click(d->bsSkinButton1);
        QCOMPARE(f.messages.texts(), QStringList({ProductDialog::RequiredMessage}));
        QVERIFY(d->isVisible());
    });
    click(stockPage()->bsSkinSpeedButton5);
    QCOMPARE(LedgerFixture::rows("select b3 from ab"), QStringList({"可乐"}));

    // In the edit dialog too: the product's own unit, deleted while it is shown, is not replaced.
    main_window->switchTo(main_window->Fr_kucun1);
    main_window->Fr_kucun1->bsSkinSpeedButton6->click();
    QStringList shown;
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tedit_chanpin*>(w);
        choose(d->bsSkinDBLookupComboBox4, "袋");
        openEditor(d->bsSkinSpeedButton3, [&](Tlist* editor) {
            const Tlist::Panel& p = *editor->visiblePanel();
            p.grid->selectRow(int(shownEntries(p).indexOf("袋")));
            click(p.deleteButton);
        });
        shown << QString::number(d->bsSkinDBLookupComboBox4->currentIndex());
    });
    click(stockPage()->bsSkinSpeedButton1);
    QCOMPARE(shown, QStringList({"-1"}));
}

void TestPickList::entriesAreStoredAsOperations() {
    LedgerFixture f;
    SharedQuery* units = Data_in->Query_a3;
    QSignalSpy announced(&Db::Announcer::instance(), &Db::Announcer::committed);
    // An entry typed and stored, changed, and deleted: each is one operation, announced (on a
    // server, to the other tills too) with its key.
    units->insertRecord();
    units->setData(units->index(units->currentRow(), units->fieldIndex("z1")), QStringLiteral("托盘"));
    if (Db::isServer(Db::lists())) {
        // The server breaks the first attempt off: it runs again and the entry is stored once.
        Db::Work::setStatementHook([](int at) {
            if (at == 1 && Db::Work::attempts() == 1)
                throw DatabaseError(QStringLiteral("could not serialize access"), QStringLiteral("40001"));
        });
    }
    units->post();
    Db::Work::setStatementHook({});
    if (Db::isServer(Db::lists()))
        QCOMPARE(Db::Work::attempts(), 2);
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a3 where z1 = '托盘'").toInt(), 1);
    const qint64 key = units->fieldValue("zid").toLongLong();
    QVERIFY(key > 0);
    QCOMPARE(announced.count(), 1);
    const Db::Change stored = announced.at(0).at(0).value<Db::Changes>().first();
    QCOMPARE(stored.table, QStringLiteral("a3"));
    QCOMPARE(stored.added, QList<qint64>({key}));

    units->setData(units->index(units->currentRow(), units->fieldIndex("z1")), QStringLiteral("大托盘"));
    units->post();
    QCOMPARE(LedgerFixture::listsScalar("select z1 from a3 where zid = :k", {{":k", key}}).toString(),
             QStringLiteral("大托盘"));
    QCOMPARE(announced.count(), 2);
    const int rows = units->recordCount();
    units->deleteCurrent();
    QCOMPARE(units->recordCount(), rows - 1);
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a3 where zid = :k", {{":k", key}}).toInt(), 0);
    QCOMPARE(announced.count(), 3);
    QVERIFY(announced.at(2).at(0).value<Db::Changes>().first().removed);
    QCOMPARE(f.messages.messages.size(), 0);
}

void TestPickList::operationsWriteTheirOwnList_data() {
    QTest::addColumn<int>("list");
    QTest::addColumn<QString>("table");
    QTest::newRow("大类") << int(PickLists::List::Major) << "a1";
    QTest::newRow("细类") << int(PickLists::List::Minor) << "a2";
    QTest::newRow("单位") << int(PickLists::List::Unit) << "a3";
    QTest::newRow("订单分类") << int(PickLists::List::OrderCategory) << "a4";
}

void TestPickList::operationsWriteTheirOwnList() {
    QFETCH(int, list);
    QFETCH(QString, table);
    LedgerFixture f;
    const QList<SharedQuery*> queries{Data_in->Query_a1, Data_in->Query_a2, Data_in->Query_a3,
                                      Data_in->Query_a4};
    auto counts = [&] {
        QList<int> n;
        for (SharedQuery* q : queries)
            n << q->recordCount();
        return n;
    };
    const QList<int> before = counts();
    const auto which = PickLists::List(list);
    const qint64 entry = PickLists::add(which, QStringLiteral("散装"));
    // The list that shows the table follows the commit; the three others are left as they were.
    QList<int> expected = before;
    ++expected[list];
    QCOMPARE(counts(), expected);
    QCOMPARE(queries[list]->text(0, "z1"), QStringLiteral("散装"));
    PickLists::rename(which, entry, QStringLiteral("称重"));
    QCOMPARE(LedgerFixture::listsScalar(QStringLiteral("select z1 from %1 where zid = :k").arg(table),
                                        {{":k", entry}})
                 .toString(),
             QStringLiteral("称重"));
    PickLists::remove(which, entry);
    QCOMPARE(counts(), before);
    // An entry removed meanwhile (at another till) is not brought back by a rename.
    QSignalSpy announced(&Db::Announcer::instance(), &Db::Announcer::committed);
    PickLists::rename(which, entry, QStringLiteral("又来"));
    QCOMPARE(LedgerFixture::listsScalar(QStringLiteral("select count(*) from %1").arg(table)).toInt(),
             before[list]);
    QVERIFY(announced.isEmpty() || announced.at(0).at(0).value<Db::Changes>().isEmpty());
}

LEDGER_TEST_MAIN(TestPickList)
#include "tst_picklist.moc"
