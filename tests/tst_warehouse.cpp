#include "app/mainwindow.h"
#include "core/clock.h"
#include "data/data_in.h"
#include "ledgertest.h"
#include "reports/reports.h"
#include "warehouse/Fr_kf_chuku.h"
#include "warehouse/Fr_kf_ruku.h"
#include "warehouse/Fr_kucun.h"
#include "warehouse/edit_chanpin.h"
#include "warehouse/new_chanpin.h"
#include "warehouse/new_ruku.h"
#include "widgets/databound.h"
#include "widgets/layoutstore.h"
#include "widgets/list.h"
#include "widgets/toolbar.h"

#include <QClipboard>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QToolButton>

class TestWarehouse : public QObject {
    Q_OBJECT
private slots:
    void stockPageShowsProductsAndDetails();
    void newProductRefusesMissingRequiredFields();
    void newProductStoresTheRowAndStartsBlank();
    void stockInRaisesStockAndWritesTheRecord();
    void stockInChecksAndKeepsItsDate();
    void failedRecordLeavesNoRaisedStock();
    void editProductChangesOnlyTheNineFields();
    void editProductKeepsTextsItsListsNoLongerOffer();
    void productDialogsStayOpenOnDatabaseErrors();
    void deleteAsksAndGuardsAnEmptyList();
    void searchFiltersUntilRefresh();
    void journalPagesListSearchAndPrint();
    void printAndHelpButtons();
};

using namespace User;

namespace {

// A product row as the new-product dialog would have written it; returns its number.
ProductRow shelf(const QString& name, const QString& stock, const QString& price, const QString& value,
                 const QString& major = QStringLiteral("食品"), const QString& minor = QStringLiteral("零食"),
                 const QString& unit = QStringLiteral("包")) {
    return {.name = name,
            .stock = stock,
            .price = price,
            .value = value,
            .major = major,
            .minor = minor,
            .unit = unit,
            .cost = QStringLiteral("8.00"),
            .wholesale = QStringLiteral("10.00"),
            .since = QStringLiteral("2026-12-01 08:00:00"),
            .note = name + QStringLiteral("的说明"),
            .maker = name + QStringLiteral("厂")};
}

TFr_kucun* stockPage() {
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    return main_window->Fr_kucun1;
}

// The product names the stock grid lists, top to bottom.
QStringList listedNames(DataGrid* grid, int column) {
    QStringList names;
    for (int row = 0; row < grid->rowCount(); ++row)
        names << grid->cellText(row, column);
    return names;
}

void choose(QComboBox* list, const QString& text) {
    QVERIFY(list);
    const int index = list->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    list->setCurrentIndex(index);
}

// Fills the new-product dialog with a complete product.
void fillProduct(Tnew_chanpin* d, const QString& name, const QString& stock, double price) {
    choose(d->bsSkinDBLookupComboBox2, QStringLiteral("饮料"));
    d->bsSkinEdit1->setText(name);
    d->bsSkinEdit2->setText(stock);
    choose(d->bsSkinDBLookupComboBox4, QStringLiteral("瓶"));
    d->bsSkinEdit6->setValue(price);
}

QStringList informationTexts(const MessageRecorder& recorder) {
    QStringList texts;
    for (const auto& m : recorder.messages)
        if (m.kind == QLatin1String("information"))
            texts << m.text;
    return texts;
}

} // namespace

void TestWarehouse::stockPageShowsProductsAndDetails() {
    LedgerFixture f;
    addProduct(shelf("可乐", "5", "3.50", "17.5"));
    addProduct(shelf("饼干", "2", "6", "12"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();

    QStringList captions;
    for (QToolButton* b : page->bsSkinToolBar1->findChildren<QToolButton*>())
        captions << b->objectName() + "=" + b->text();
    QCOMPARE(
        captions,
        QStringList({"bsSkinSpeedButton5=新 建", "bsSkinSpeedButton4=入 库", "bsSkinSpeedButton1=修 改",
                     "bsSkinSpeedButton2=删 除", "bsSkinSpeedButton10=库存预警", "bsSkinSpeedButton11=标 签",
                     "importProductsButton=导 入", "scaleLayoutsButton=秤签设置", "bsSkinSpeedButton6=刷 新",
                     "bsSkinSpeedButton8=打 印", "bsSkinSpeedButton9=帮 助"}));
    QCOMPARE(page->bsSkinStdLabel1->text(), QStringLiteral("输入产品名称速查: "));

    DataGrid* grid = page->bsSkinDBGrid2;
    QStringList titles;
    QList<int> widths;
    for (const GridColumn& c : grid->columns()) {
        const int logical = grid->query()->fieldIndex(c.field);
        if (logical < 0) // a column of the warning list only
            continue;
        titles << grid->model()->headerData(logical, Qt::Horizontal).toString();
        widths << grid->columnWidth(logical);
        QCOMPARE(grid->horizontalHeader()->visualIndex(logical), int(titles.size()) - 1);
    }
    QCOMPARE(titles, QStringList({"编号", "大类", "细类", "产品名称", "库存量", "单位", "成本价", "批发价",
                                  "销售价", "合计", "库存下限", "条码", "称重码"}));
    QCOMPARE(widths, QList<int>({60, 80, 80, 200, 70, 70, 80, 80, 80, 80, 70, 110, 70}));
    QCOMPARE(listedNames(grid, 3), QStringList({"饼干", "可乐"}));
    // A column dragged with the mouse by its title to the front stays there after a refresh.
    {
        QHeaderView* header = grid->horizontalHeader();
        const int unit = grid->query()->fieldIndex("b5");
        const int y = header->height() / 2;
        const QPoint grab(header->sectionViewportPosition(unit) + header->sectionSize(unit) / 2, y);
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, grab);
        for (int x = grab.x(); x > 2; x -= 20)
            QTest::mouseMove(header->viewport(), QPoint(x, y));
        QTest::mouseMove(header->viewport(), QPoint(2, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(2, y));
        QCOMPARE(header->visualIndex(unit), 0);
        page->bsSkinSpeedButton6->click();
        QCOMPARE(header->visualIndex(unit), 0);
        QCOMPARE(grid->shownColumns().first().title, QStringLiteral("单位"));
        LayoutStore::restoreDefaults();
    }
    QCOMPARE(grid->cellText(1, 8), QStringLiteral("3.5"));
    QCOMPARE(grid->cellText(1, 9), QStringLiteral("17.5"));

    // The detail strip follows the selected row.
    QCOMPARE(page->bsSkinDBText1->text(), QStringLiteral("饼干厂"));
    grid->selectRow(1);
    QCOMPARE(page->bsSkinDBText1->text(), QStringLiteral("可乐厂"));
    QCOMPARE(page->bsSkinDBText2->text(), QStringLiteral("2026-12-01 08:00:00"));
    QCOMPARE(page->bsSkinDBMemo1->toPlainText(), QStringLiteral("可乐的说明"));
    QVERIFY(page->bsSkinDBMemo1->isReadOnly());
}

void TestWarehouse::newProductRefusesMissingRequiredFields() {
    LedgerFixture f;
    TFr_kucun* page = stockPage();
    QStringList blocked;
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<Tnew_chanpin*>(w);
        QVERIFY(d);
        // Each step fills the field the last check stopped at; every click but the last is refused.
        const QList<std::function<void()>> steps = {
            [&] {}, [&] { choose(d->bsSkinDBLookupComboBox2, "饮料"); },
            [&] { d->bsSkinEdit2->setText("12"); },
            [&] { d->bsSkinEdit1->setText(" "); }, // a blank counts as filled
        };
        for (const auto& step : steps) {
            step();
            f.messages.clear();
            click(d->bsSkinButton1);
            blocked << f.messages.last();
            QVERIFY(d->isVisible());
        }
        QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 0);
        // With the unit the five are filled (the sale price box holds 0.00): the product is stored.
        choose(d->bsSkinDBLookupComboBox4, "瓶");
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton5);
    QCOMPARE(blocked, QStringList(4, ProductDialog::RequiredMessage));
    QCOMPARE(LedgerFixture::rows("select b1, b3, b4, b5, b8 from ab"), QStringList({"饮料| |12|瓶|0"}));
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        // The stock box takes nine digits and nothing but digits.
        d->bsSkinEdit2->clear();
        QTest::keyClicks(d->bsSkinEdit2, "1a2-3.4b567890123");
        QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("123456789"));
        // Pasted text with a refused character is refused whole, never read as another number.
        for (const char* pasted : {"1.5", "12.345", "-5.5", "7 "}) {
            d->bsSkinEdit2->setText("2");
            d->bsSkinEdit2->selectAll();
            QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
            d->bsSkinEdit2->paste();
            QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("2"));
        }
        QGuiApplication::clipboard()->setText("45");
        d->bsSkinEdit2->end(false);
        d->bsSkinEdit2->paste();
        QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("245"));
    });
    click(page->bsSkinSpeedButton5);
}

void TestWarehouse::newProductStoresTheRowAndStartsBlank() {
    LedgerFixture f;
    TFr_kucun* page = stockPage();
    addProduct(shelf("旧货", "1", "1", "1"));
    page->bsSkinSpeedButton6->click();
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        fillProduct(d, "橙汁", "007", 12.5);
        d->bsSkinEdit3->setText("果园");
        d->bsSkinRichEdit1->setPlainText(QString(100, QChar(u'甜')));
        QCOMPARE(d->bsSkinRichEdit1->toPlainText().size(), 80);
        d->bsSkinRichEdit1->setPlainText("冷藏");
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton5);
    QCOMPARE(f.messages.messages.size(), 0);
    // The minor category left unchosen is the empty text; untouched prices are 0.00.
    QCOMPARE(LedgerFixture::rows("select b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12 from ab where b3 = '橙汁'"),
             QStringList({"饮料||橙汁|7|瓶|0|0|12.5|87.5|2026-12-09 10:30:00|冷藏|果园"}));
    // The list shows the new product first.
    QCOMPARE(page->bsSkinDBGrid2->cellText(0, 3), QStringLiteral("橙汁"));
    QCOMPARE(Data_in->Query_ab->currentRow(), 0);

    // The next showing starts blank.
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        QCOMPARE(d->bsSkinDBLookupComboBox2->currentIndex(), -1);
        QCOMPARE(d->bsSkinDBLookupComboBox1->currentText(), QString());
        QCOMPARE(d->bsSkinDBLookupComboBox4->currentIndex(), -1);
        QCOMPARE(d->bsSkinEdit1->text(), QString());
        QCOMPARE(d->bsSkinEdit2->text(), QString());
        QCOMPARE(d->bsSkinEdit3->text(), QString());
        for (QDoubleSpinBox* price : {d->bsSkinEdit4, d->bsSkinEdit5, d->bsSkinEdit6})
            QCOMPARE(price->text(), QStringLiteral("0.00"));
        QCOMPARE(d->bsSkinRichEdit1->toPlainText(), QString());
        // Zero stock and a zero price are accepted.
        fillProduct(d, "赠品", "0", 0);
        choose(d->bsSkinDBLookupComboBox1, "果汁");
        click(d->bsSkinButton2); // cancel stores nothing
    });
    click(page->bsSkinSpeedButton5);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 2);
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        fillProduct(d, "赠品", "0", 0);
        choose(d->bsSkinDBLookupComboBox1, "果汁");
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton5);
    QCOMPARE(LedgerFixture::rows("select b2,b4,b8,b9 from ab where b3 = '赠品'"),
             QStringList({"果汁|0|0|0"}));
}

void TestWarehouse::stockInRaisesStockAndWritesTheRecord() {
    LedgerFixture f;
    const int id = int(addProduct(shelf("薯片", "5", "12.50", "62.5")));
    addProduct(shelf("可乐", "1", "3", "3", "饮料", "", "瓶"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    page->bsSkinDBGrid2->selectRow(1); // not the first row
    QCOMPARE(Data_in->Query_ab->fieldText("b3"), QStringLiteral("薯片"));
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<Tnew_ruku*>(w);
        QVERIFY(d);
        QCOMPARE(d->bsSkinStdLabel7->text(), QStringLiteral("薯片"));
        QCOMPARE(d->bsSkinStdLabel6->text(), QStringLiteral("5"));
        QCOMPARE(d->bsSkinStdLabel8->text(), QStringLiteral("包"));
        QCOMPARE(d->bsSkinStdLabel5->text(), QStringLiteral("2026-12-09"));
        QCOMPARE(d->bsSkinStdLabel9->text(), QString::number(id));
        QVERIFY(d->bsSkinStdLabel9->isHidden());
        QTest::keyClicks(d->bsSkinEdit3, "x3");
        QCOMPARE(d->bsSkinEdit3->text(), QStringLiteral("3"));
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(f.messages.messages.size(), 0);
    QCOMPARE(LedgerFixture::rows("select b4, b9 from ab where bid = :a", {{":a", id}}),
             QStringList({"8|100"}));
    QCOMPARE(LedgerFixture::rows("select c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12 from ac"),
             QStringList({QString::number(id) + "|薯片|3|8|10|12.5|2026-12-09|食品|零食|薯片厂|包|37.5"}));
    // The stock page starts again at its first row; the stock-in page lists the record.
    QCOMPARE(Data_in->Query_ab->currentRow(), 0);
    QCOMPARE(page->bsSkinDBGrid2->cellText(1, 4), QStringLiteral("8"));
    QCOMPARE(main_window->Fr_kf_ruku1->bsSkinDBGrid2->cellText(0, 4), QStringLiteral("薯片"));

    // Leading zeros add the number; the record keeps the text as typed. Zero is refused, and a
    // pasted fraction does not become a whole number.
    page->bsSkinDBGrid2->selectRow(1);
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QCOMPARE(d->bsSkinEdit3->text(), QString()); // every showing starts empty
        QCOMPARE(d->bsSkinStdLabel6->text(), QStringLiteral("8"));
        QTest::keyClicks(d->bsSkinEdit3, "007");
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton4);
    page->bsSkinDBGrid2->selectRow(1);
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QGuiApplication::clipboard()->setText("1.5");
        d->bsSkinEdit3->paste();
        QCOMPARE(d->bsSkinEdit3->text(), QString());
        QTest::keyClicks(d->bsSkinEdit3, "0");
        click(d->bsSkinButton1);
        QVERIFY(d->isVisible());
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(f.messages.texts(), QStringList({"数量不能为0"}));
    QCOMPARE(LedgerFixture::rows("select b4, b9 from ab where bid = :a", {{":a", id}}),
             QStringList({"15|187.5"}));
    QCOMPARE(LedgerFixture::rows("select c3, c12 from ac order by cid"), QStringList({"3|37.5", "007|87.5"}));

    // Renaming the product later leaves its records with the name they were written with.
    LedgerFixture::exec("update ab set b3 = '新薯片' where bid = :a", {{":a", id}});
    QCOMPARE(LedgerFixture::scalar("select count(*) from ac where c2 = '薯片'").toInt(), 2);
}

void TestWarehouse::stockInChecksAndKeepsItsDate() {
    LedgerFixture f;
    addProduct(shelf("薯片", "5", "12.50", "62.5"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        click(d->bsSkinButton1);
        QCOMPARE(f.messages.last(), ProductDialog::RequiredMessage);
        QVERIFY(d->isVisible());
        // Nine digits at most.
        QTest::keyClicks(d->bsSkinEdit3, "1234567890");
        QCOMPARE(d->bsSkinEdit3->text(), QStringLiteral("123456789"));
        click(d->bsSkinButton2);
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ac").toInt(), 0);
    QCOMPARE(LedgerFixture::scalar("select b4 from ab").toInt(), 5);

    // The date is taken at each showing: a program left running past midnight writes the new day.
    Clock::setFixed(QDateTime(QDate(2026, 12, 10), QTime(0, 0, 5)));
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QCOMPARE(d->bsSkinStdLabel5->text(), QStringLiteral("2026-12-10"));
        QTest::keyClicks(d->bsSkinEdit3, "1");
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(LedgerFixture::scalar("select c7 from ac").toString(), QStringLiteral("2026-12-10"));

    // A stock that is no number stops before anything is written.
    LedgerFixture::exec("update ab set b9 = null");
    page->bsSkinSpeedButton6->click();
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QTest::keyClicks(d->bsSkinEdit3, "2");
        click(d->bsSkinButton1);
        QVERIFY(d->isVisible());
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("error"));
    QCOMPARE(f.messages.last(),
             QStringLiteral("'' is not a valid floating point value（表 ab 中 bid 为 %1 的行，列 b9）.")
                 .arg(LedgerFixture::scalar("select bid from ab").toString()));
    QCOMPARE(LedgerFixture::rows("select b4 from ab"), QStringList({"6"}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ac").toInt(), 1);
}

void TestWarehouse::failedRecordLeavesNoRaisedStock() {
    LedgerFixture f;
    addProduct(shelf("薯片", "5", "12.50", "62.5"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    // The record cannot be written: its table is gone.
    LedgerFixture::exec("alter table ac rename to ac_away");
    bool stayedOpen = false;
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QTest::keyClicks(d->bsSkinEdit3, "3");
        click(d->bsSkinButton1);
        stayedOpen = d->isVisible();
    });
    click(page->bsSkinSpeedButton4);
    QVERIFY(stayedOpen);
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].kind, QStringLiteral("error"));
    QVERIFY2(f.messages.last().contains("ac"), qPrintable(f.messages.last()));
    QCOMPARE(LedgerFixture::rows("select b4, b9 from ab"), QStringList({"5|62.5"}));
    LedgerFixture::exec("alter table ac_away rename to ac");
    QCOMPARE(LedgerFixture::scalar("select count(*) from ac").toInt(), 0);
    // With the table back, the same stock-in goes through whole.
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QTest::keyClicks(d->bsSkinEdit3, "3");
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(LedgerFixture::rows("select b4, b9 from ab"), QStringList({"8|100"}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ac").toInt(), 1);
}

void TestWarehouse::editProductChangesOnlyTheNineFields() {
    LedgerFixture f;
    const int id = int(addProduct(shelf("薯片", "5", "12.50", "62.5", "食品", "已停用细类", "包")));
    addProduct(shelf("可乐", "1", "3", "3"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    page->bsSkinDBGrid2->selectRow(1);
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<Tedit_chanpin*>(w);
        QVERIFY(d);
        QCOMPARE(d->bsSkinDBLookupComboBox2->currentText(), QStringLiteral("食品"));
        // A stored entry no longer in its pick list is shown as it is stored.
        QCOMPARE(d->bsSkinDBLookupComboBox1->currentText(), QStringLiteral("已停用细类"));
        QCOMPARE(d->bsSkinDBLookupComboBox4->currentText(), QStringLiteral("包"));
        QCOMPARE(d->bsSkinEdit1->text(), QStringLiteral("薯片"));
        QCOMPARE(d->bsSkinStdLabel15->text(), QStringLiteral("5"));
        QCOMPARE(d->findChild<QLineEdit*>("bsSkinEdit2"), nullptr); // the stock cannot be typed
        QCOMPARE(d->bsSkinEdit4->text(), QStringLiteral("8.00"));
        QCOMPARE(d->bsSkinEdit5->text(), QStringLiteral("10.00"));
        QCOMPARE(d->bsSkinEdit6->text(), QStringLiteral("12.50"));
        QCOMPARE(d->bsSkinRichEdit1->toPlainText(), QStringLiteral("薯片的说明"));
        QCOMPARE(d->bsSkinEdit3->text(), QStringLiteral("薯片厂"));
        d->bsSkinEdit1->setText("番茄薯片");
        d->bsSkinEdit6->setValue(15);
        choose(d->bsSkinDBLookupComboBox4, "袋");
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton1);
    QCOMPARE(f.messages.messages.size(), 0);
    QCOMPARE(
        LedgerFixture::rows("select bid,b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12 from ab where bid = :a",
                            {{":a", id}}),
        QStringList({QString::number(id) +
                     "|食品|已停用细类|番茄薯片|5|袋|8|10|15|62.5|2026-12-01 08:00:00|薯片的说明|薯片厂"}));
    QCOMPARE(Data_in->Query_ab->currentRow(), 0);
    QCOMPARE(page->bsSkinDBGrid2->cellText(1, 3), QStringLiteral("番茄薯片"));

    // The next stock-in books at the new price on top of the old stock value.
    page->bsSkinDBGrid2->selectRow(1);
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QTest::keyClicks(d->bsSkinEdit3, "2");
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(LedgerFixture::rows("select b4, b9 from ab where bid = :a", {{":a", id}}),
             QStringList({"7|92.5"}));
}

void TestWarehouse::editProductKeepsTextsItsListsNoLongerOffer() {
    LedgerFixture f;
    // A major and a minor category no list ever held, and a unit whose entry is renamed.
    const int id = int(addProduct(shelf("薯片", "5", "12.50", "62.5", "膨化食品", "已停用细类", "包")));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    list->showPanel("caidan_danwei");
    onModal([&](QWidget*) {
        const Tlist::Panel& p = *list->visiblePanel();
        int row = 0;
        while (row < p.query->recordCount() && p.query->text(row, "z1") != QStringLiteral("包"))
            ++row;
        p.grid->selectRow(row);
        p.grid->edit(p.grid->indexOfRow(row, p.query->fieldIndex("z1")));
        for (QLineEdit* cell : p.grid->viewport()->findChildren<QLineEdit*>())
            if (cell->isVisible())
                cell->setText("小包");
        click(p.postButton);
    });
    list->exec();
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a3 where z1 = '小包'").toInt(), 1);
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a3 where z1 = '包'").toInt(), 0);

    onModal([&](QWidget* w) {
        auto* d = qobject_cast<Tedit_chanpin*>(w);
        QVERIFY(d);
        const QList<std::tuple<PickList*, SharedQuery*, QString>> lists = {
            {d->bsSkinDBLookupComboBox2, Data_in->Query_a1, "膨化食品"},
            {d->bsSkinDBLookupComboBox1, Data_in->Query_a2, "已停用细类"},
            {d->bsSkinDBLookupComboBox4, Data_in->Query_a3, "包"}};
        for (const auto& [box, query, text] : lists) {
            // The stored text is shown as an extra entry after the list's own, marked.
            QCOMPARE(box->currentText(), text);
            QCOMPARE(box->currentIndex(), query->recordCount());
            QCOMPARE(box->count(), query->recordCount() + 1);
            QVERIFY(!box->itemIcon(box->currentIndex()).isNull());
            QVERIFY(!box->itemData(box->currentIndex(), Qt::ToolTipRole).toString().isEmpty());
        }
        // Only the sale price is changed.
        d->bsSkinEdit6->setValue(15);
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton1);
    QCOMPARE(f.messages.messages.size(), 0);
    QCOMPARE(LedgerFixture::rows("select b1,b2,b3,b5,b8 from ab where bid = :a", {{":a", id}}),
             QStringList({"膨化食品|已停用细类|薯片|包|15"}));

    // Another entry chosen is written instead; the kept entry is still offered until then.
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tedit_chanpin*>(w);
        QCOMPARE(d->bsSkinDBLookupComboBox4->currentText(), QStringLiteral("包"));
        choose(d->bsSkinDBLookupComboBox4, "小包");
        choose(d->bsSkinDBLookupComboBox2, "食品");
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton1);
    QCOMPARE(LedgerFixture::rows("select b1,b2,b5 from ab where bid = :a", {{":a", id}}),
             QStringList({"食品|已停用细类|小包"}));
    // A text its list offers brings no extra entry, the next showing neither.
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tedit_chanpin*>(w);
        QCOMPARE(d->bsSkinDBLookupComboBox2->currentText(), QStringLiteral("食品"));
        QCOMPARE(d->bsSkinDBLookupComboBox2->count(), Data_in->Query_a1->recordCount());
        QCOMPARE(d->bsSkinDBLookupComboBox1->count(), Data_in->Query_a2->recordCount() + 1);
        QCOMPARE(d->bsSkinDBLookupComboBox4->count(), Data_in->Query_a3->recordCount());
        QVERIFY(d->bsSkinDBLookupComboBox4->itemIcon(d->bsSkinDBLookupComboBox4->currentIndex()).isNull());
    });
    click(page->bsSkinSpeedButton1);
    // Enter on the product's row, or a double click on it, opens it for changing too.
    DataGrid* grid = page->bsSkinDBGrid2;
    const QPoint row = grid->visualRect(grid->indexOfRow(0, grid->query()->fieldIndex("b3"))).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, row);
    for (const bool doubleClick : {false, true}) {
        auto opened = std::make_shared<QString>();
        onModal([opened](QWidget* w) { *opened = w->objectName(); });
        if (doubleClick) {
            QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, row);
        } else {
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Return);
        }
        QCOMPARE(*opened, QStringLiteral("edit_chanpin"));
    }
}

void TestWarehouse::productDialogsStayOpenOnDatabaseErrors() {
    LedgerFixture f;
    addProduct(shelf("薯片", "5", "12.50", "62.5"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    // The product table cannot be written.
    LedgerFixture::exec("alter table ab rename to ab_away");
    QStringList open;
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        fillProduct(d, "橙汁", "1", 4);
        click(d->bsSkinButton1);
        open << (d->isVisible() ? "new open" : "new closed");
        QCOMPARE(d->bsSkinEdit1->text(), QStringLiteral("橙汁")); // everything as typed
    });
    click(page->bsSkinSpeedButton5);
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tedit_chanpin*>(w);
        d->bsSkinEdit1->setText("新名字");
        click(d->bsSkinButton1);
        open << (d->isVisible() ? "edit open" : "edit closed");
    });
    click(page->bsSkinSpeedButton1);
    QCOMPARE(open, QStringList({"new open", "edit open"}));
    QCOMPARE(f.messages.messages.size(), 2);
    for (const auto& m : f.messages.messages) {
        QCOMPARE(m.kind, QStringLiteral("error"));
        QVERIFY2(m.text.contains("ab"), qPrintable(m.text));
    }
    // The list was not reopened: it still shows what it held.
    QCOMPARE(page->bsSkinDBGrid2->cellText(0, 3), QStringLiteral("薯片"));
    LedgerFixture::exec("alter table ab_away rename to ab");
    QCOMPARE(LedgerFixture::rows("select b3 from ab"), QStringList({"薯片"}));
}

void TestWarehouse::deleteAsksAndGuardsAnEmptyList() {
    LedgerFixture f;
    const int first = int(addProduct(shelf("甲", "1", "1", "1")));
    addProduct(shelf("乙", "1", "1", "1"));
    addProduct(shelf("丙", "1", "1", "1"));
    LedgerFixture::exec("insert into ac (c1, c2) values (:a, '甲')", {{":a", first}});
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    page->bsSkinDBGrid2->selectRow(1);
    f.messages.answers = {false};
    click(page->bsSkinSpeedButton2);
    QCOMPARE(f.messages.messages.last().title, QStringLiteral("删除确认"));
    QCOMPARE(f.messages.last(), QStringLiteral("您确定要删除此产品吗?"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 3);
    click(page->bsSkinSpeedButton2); // OK
    QCOMPARE(listedNames(page->bsSkinDBGrid2, 3), QStringList({"丙", "甲"}));
    QCOMPARE(Data_in->Query_ab->fieldText("b3"), QStringLiteral("甲")); // the row after it
    click(page->bsSkinSpeedButton2);
    QCOMPARE(Data_in->Query_ab->fieldText("b3"), QStringLiteral("丙")); // the last row went: the one before
    click(page->bsSkinSpeedButton2);
    QCOMPARE(Data_in->Query_ab->recordCount(), 0);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 0);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ac").toInt(), 1); // records stay

    // With nothing listed, stock-in, edit, delete and print only say so.
    f.messages.clear();
    Reports::setPreviewHook(
        [](const QString&, const Reports::Parameters&) { QFAIL("printed an empty list"); });
    for (QToolButton* b : {page->bsSkinSpeedButton4, page->bsSkinSpeedButton1, page->bsSkinSpeedButton2,
                           page->bsSkinSpeedButton8})
        click(b);
    Reports::setPreviewHook(nullptr);
    QCOMPARE(informationTexts(f.messages), QStringList(4, TFr_kucun::EmptyMessage));
    QCOMPARE(f.messages.messages.size(), 4);
}

void TestWarehouse::searchFiltersUntilRefresh() {
    LedgerFixture f;
    addProduct(shelf("可乐", "1", "3", "3"));
    addProduct(shelf("雪碧", "1", "3", "3"));
    addProduct(shelf("O'Neil咖啡", "1", "9", "9"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    QTest::keyClicks(page->bsSkinEdit1, "O'");
    QCOMPARE(listedNames(page->bsSkinDBGrid2, 3), QStringList({"O'Neil咖啡"}));
    page->bsSkinEdit1->setText("可");
    QCOMPARE(listedNames(page->bsSkinDBGrid2, 3), QStringList({"可乐"}));

    // A product saved while the filter holds is stored but listed only when it matches.
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        fillProduct(d, "橙汁", "1", 4);
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton5);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 4);
    QCOMPARE(listedNames(page->bsSkinDBGrid2, 3), QStringList({"可乐"}));
    // So does a stock-in.
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_ruku*>(w);
        QTest::keyClicks(d->bsSkinEdit3, "2");
        click(d->bsSkinButton1);
    });
    click(page->bsSkinSpeedButton4);
    QCOMPARE(listedNames(page->bsSkinDBGrid2, 3), QStringList({"可乐"}));
    QCOMPARE(page->bsSkinDBGrid2->cellText(0, 4), QStringLiteral("3"));

    // "_" is the database's any-one-character; a search matching nothing leaves the guard.
    page->bsSkinEdit1->setText("雪_");
    QCOMPARE(listedNames(page->bsSkinDBGrid2, 3), QStringList({"雪碧"}));
    page->bsSkinEdit1->setText("没有这种");
    QCOMPARE(page->bsSkinDBGrid2->rowCount(), 0);
    f.messages.clear();
    click(page->bsSkinSpeedButton1);
    QCOMPARE(f.messages.last(), TFr_kucun::EmptyMessage);

    // Refresh lists everything again and leaves the box as typed; an empty box lists all too.
    click(page->bsSkinSpeedButton6);
    QCOMPARE(listedNames(page->bsSkinDBGrid2, 3), QStringList({"橙汁", "O'Neil咖啡", "雪碧", "可乐"}));
    QCOMPARE(page->bsSkinEdit1->text(), QStringLiteral("没有这种"));
    page->bsSkinEdit1->clear();
    QCOMPARE(page->bsSkinDBGrid2->rowCount(), 4);
}

void TestWarehouse::journalPagesListSearchAndPrint() {
    LedgerFixture f;
    for (const char* name : {"可乐", "雪碧", "可可粉"}) {
        LedgerFixture::exec("insert into ac (c1,c2,c3,c7,c12) values ('1', :a, '2', '2026-12-08', 7)",
                            {{":a", QString::fromUtf8(name)}});
        LedgerFixture::exec(
            "insert into ae (e1,e2,e3,e7,e11) values ('1', :a, '1', '2026-12-08 09:00:00', '41')",
            {{":a", QString::fromUtf8(name)}});
    }
    Data_in->Query_ac->refresh();
    Data_in->Query_ae->refresh();
    main_window->show();
    QStringList printed;
    Reports::setPreviewHook([&](const QString& definition, const Reports::Parameters& parameters) {
        QVERIFY(parameters.isEmpty());
        printed << definition;
    });

    struct Case {
        ListFrame* page;
        QString name;
        QStringList titles;
        QList<int> widths;
        QString empty, report;
        int nameColumn;
    };
    const QList<Case> cases = {
        {main_window->Fr_kf_ruku1,
         "Fr_kf_ruku1",
         {"入库单号", "产品编号", "大类", "细类", "产品名称", "入库数量", "单位", "成本价", "批发价",
          "销售价", "合计", "入库时间"},
         {64, 60, 70, 70, 160, 60, 60, 60, 60, 60, 60, 80},
         "没有入库记录",
         "ac.rav",
         4},
        {main_window->Fr_kf_chuku1,
         "Fr_kf_chuku1",
         {"相关订单号", "产品编号", "大类", "细类", "产品名称", "出库数量", "单位", "销售价", "出库时间"},
         {80, 70, 70, 70, 200, 70, 50, 60, 125},
         "没有出库记录",
         "ae.rav",
         4},
    };
    for (const Case& c : cases) {
        ListFrame* page = c.page;
        QCOMPARE(page->objectName(), c.name);
        main_window->switchTo(page);
        QStringList captions;
        for (QToolButton* b : page->bsSkinToolBar1->findChildren<QToolButton*>())
            captions << b->text();
        QCOMPARE(captions, QStringList({"刷 新", "打 印", "帮 助"}));
        DataGrid* grid = page->bsSkinDBGrid2;
        QStringList titles;
        QList<int> widths;
        for (const GridColumn& col : grid->columns()) {
            const int logical = grid->query()->fieldIndex(col.field);
            titles << grid->model()->headerData(logical, Qt::Horizontal).toString();
            widths << grid->columnWidth(logical);
        }
        QCOMPARE(titles, c.titles);
        QCOMPARE(widths, c.widths);
        QCOMPARE(listedNames(grid, c.nameColumn), QStringList({"可可粉", "雪碧", "可乐"}));

        page->bsSkinEdit1->setText("可");
        QCOMPARE(listedNames(grid, c.nameColumn), QStringList({"可可粉", "可乐"}));
        click(page->bsSkinSpeedButton8); // prints the rows listed now
        page->bsSkinEdit1->setText("咖啡");
        QCOMPARE(grid->rowCount(), 0);
        f.messages.clear();
        click(page->bsSkinSpeedButton8);
        QCOMPARE(f.messages.texts(), QStringList({c.empty}));
        click(page->bsSkinSpeedButton6);
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(page->bsSkinEdit1->text(), QStringLiteral("咖啡"));
    }
    QCOMPARE(printed, QStringList({"ac.rav", "ae.rav"}));
    QCOMPARE(main_window->Fr_kf_chuku1->bsSkinDBGrid2->cellText(0, 0), QStringLiteral("41"));

    // A list that failed to open cannot be counted: print reports that and prints nothing.
    Data_in->Query_ac->close();
    f.messages.clear();
    main_window->switchTo(main_window->Fr_kf_ruku1);
    click(main_window->Fr_kf_ruku1->bsSkinSpeedButton8);
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].kind, QStringLiteral("error"));
    QCOMPARE(printed.size(), 2);
    Reports::setPreviewHook(nullptr);
}

void TestWarehouse::printAndHelpButtons() {
    LedgerFixture f;
    addProduct(shelf("可乐", "1", "3", "3"));
    TFr_kucun* page = stockPage();
    page->bsSkinSpeedButton6->click();
    QStringList printed;
    Reports::setPreviewHook(
        [&](const QString& definition, const Reports::Parameters&) { printed << definition; });
    click(page->bsSkinSpeedButton8);
    Reports::setPreviewHook(nullptr);
    QCOMPARE(printed, QStringList({"ab.rav"}));
    // Without the hook the engine's own error reaches the error box, naming the definition.
    click(page->bsSkinSpeedButton8);
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("error"));
    QVERIFY(f.messages.last().contains("ab.rav"));

    for (ListFrame* frame : QList<ListFrame*>{page, main_window->Fr_kf_ruku1, main_window->Fr_kf_chuku1}) {
        QString opened;
        main_window->switchTo(frame);
        onModal([&](QWidget* w) { opened = w->objectName(); });
        click(frame->bsSkinSpeedButton9);
        QCOMPARE(opened, QStringLiteral("help"));
    }
}

LEDGER_TEST_MAIN(TestWarehouse)
#include "tst_warehouse.moc"
