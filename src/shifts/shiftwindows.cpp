#include "shifts/shiftwindows.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "data/work.h"
#include "ledger/receipts.h"
#include "ledger/staff.h"
#include "reports/receiptprint.h"
#include "reports/reports.h"
#include "widgets/messages.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// The day the float was asked and cancelled: not asked again at every sale of that day.
QDate declinedOn;
// When the program opened the ledger: a shop without operators has no login, and a shift left
// open from an earlier day before this start is closed at the first settlement after it.
QDateTime startedAt;
std::function<void(const ReportSnapshot&)> pageHook;

QString money(Currency amount) {
    return QString::number(amount.toDouble(), 'f', 2);
}

QString folder() {
    return Data_in ? Data_in->folder() : QDir::currentPath();
}

// A shift left open from an earlier day is closed uncounted; the operator is told.
void closeStale() {
    if (const std::optional<Shifts::Shift> stale = Shifts::closeStale(Clock::now().date()))
        Messages::information(
            QStringLiteral("本机 %1 开始的班次没有交班，已自动交班并记为“未清点”。").arg(stale->openedAt));
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

// A text box that takes a cash amount.
QLineEdit* amountBox(const QString& name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(13);
    edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edit->setPlaceholderText(QStringLiteral("0.00"));
    return edit;
}

ReportColumn column(const QString& title, double width, Qt::Alignment align = Qt::AlignLeft,
                    bool sum = false) {
    ReportColumn c;
    c.title = title;
    c.width = width;
    c.align = align;
    c.sum = sum;
    return c;
}

QString printedNow() {
    return Clock::format(Clock::now());
}

// When a shift closed: the time on its own day, the date too on a later one.
QString closedText(const Shifts::Shift& s) {
    if (s.isOpen())
        return QStringLiteral("未交班");
    return s.closedAt.startsWith(s.day.toString(Qt::ISODate)) ? s.closedAt.mid(11, 5) : s.closedAt.mid(5, 11);
}

// The columns of a shift in the list and the day's close.
QStringList shiftRow(const Shifts::Figures& f) {
    const Shifts::Shift& s = f.shift;
    const Currency expected = s.expected.value_or(f.expected());
    return {s.day.toString(Qt::ISODate),
            s.till,
            s.operatorName,
            s.openedAt.mid(11, 5),
            closedText(s),
            money(s.openingFloat),
            money(f.cashSales),
            money(f.cardSales),
            money(f.rechargeCash),
            money(f.cashIn),
            money(f.cashOut),
            money(f.refunds),
            money(expected),
            s.counted ? money(*s.counted) : (s.isOpen() ? QString() : QStringLiteral("未清点")),
            s.counted ? money(*s.counted - expected) : QString()};
}

const QStringList ShiftColumns = {
    QStringLiteral("日期"),     QStringLiteral("收银台"),     QStringLiteral("收银员"),
    QStringLiteral("开班"),     QStringLiteral("交班"),       QStringLiteral("备用金"),
    QStringLiteral("现金销售"), QStringLiteral("会员卡销售"), QStringLiteral("充值"),
    QStringLiteral("存入"),     QStringLiteral("支出"),       QStringLiteral("退款"),
    QStringLiteral("应有现金"), QStringLiteral("清点现金"),   QStringLiteral("差额")};

} // namespace

namespace ShiftWindows {

std::optional<Currency> cashAmount(const QString& text) {
    static const QRegularExpression plain(QStringLiteral("^\\s*(\\d{1,10})(\\.\\d{0,2})?\\s*$"));
    const QRegularExpressionMatch m = plain.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const Currency amount = Currency::parse(text.trimmed());
    if (amount > Currency::fromInt(1000000000))
        return std::nullopt;
    return amount;
}

bool askFloat(QWidget* parent) {
    ShiftOpenDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

namespace {
bool askAtAll = true;
}

void setAskFloat(bool ask) {
    askAtAll = ask;
}

void afterLogin(QWidget* parent) {
    declinedOn = QDate();
    closeStale();
    if (askAtAll && !Shifts::current())
        askFloat(parent);
}

void beforeSettlement(QWidget* parent) {
    if (Staff::inForce() && !Staff::current())
        return; // nobody is signed in: the settlement is refused anyway
    std::optional<Shifts::Shift> open = Shifts::current();
    // Never a shift still being worked across midnight: only one left from before this start.
    if (open && !Staff::inForce() && startedAt.isValid() && open->openedAt < Clock::format(startedAt)) {
        closeStale();
        open = Shifts::current();
    }
    if (open)
        return;
    const QDate today = Clock::now().date();
    if (!askAtAll || declinedOn == today || (!Staff::inForce() && !Shifts::everOpenedHere()))
        return;
    if (!askFloat(parent))
        declinedOn = today;
}

void closeShift(QWidget* parent) {
    // A shift across midnight is counted as any other: closed uncounted only at the next login.
    const std::optional<Shifts::Shift> open = Shifts::current();
    if (!open) {
        if (MessageService::current().confirm(QStringLiteral("本机还没有开班。现在清点备用金并开班吗？"),
                                              QStringLiteral("开班")))
            askFloat(parent);
        return;
    }
    ShiftCount count(Shifts::figures(open->key), parent);
    if (count.exec() != QDialog::Accepted)
        return;
    QScopedPointer<ShiftReport> report(ShiftReport::ofShift(count.closed(), parent));
    report->exec();
}

void moveCash(QWidget* parent, Shifts::Move move) {
    if (!Shifts::current()) {
        if (!MessageService::current().confirm(QStringLiteral("本机还没有开班。现在清点备用金并开班吗？"),
                                               QStringLiteral("开班")) ||
            !askFloat(parent))
            return;
    }
    CashMoveDialog dialog(move, parent);
    dialog.exec();
}

void openDrawer() {
    Shifts::openDrawer([] { ReceiptPrint::openDrawer(Receipts::loadSetup(folder())); });
}

void pastShifts(QWidget* parent) {
    if (!Staff::may(Staff::Right::SeeExpected))
        Staff::require(Staff::Right::ReadLog, QStringLiteral("班次记录"));
    ShiftList list(parent);
    list.exec();
}

void addTo(QStatusBar* bar, QWidget* parent) {
    startedAt = Clock::now();
    auto* shift = new QToolButton(bar);
    shift->setObjectName(QStringLiteral("shiftButton"));
    shift->setAutoRaise(true);
    shift->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* cash = new QToolButton(bar);
    cash->setObjectName(QStringLiteral("cashButton"));
    cash->setText(QStringLiteral("钱 箱"));
    cash->setAutoRaise(true);
    cash->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(cash);
    menu->setObjectName(QStringLiteral("cashMenu"));
    QAction* in = menu->addAction(QStringLiteral("存入现金…"));
    in->setObjectName(QStringLiteral("cashInAction"));
    QAction* out = menu->addAction(QStringLiteral("支出现金…"));
    out->setObjectName(QStringLiteral("cashOutAction"));
    menu->addSeparator();
    QAction* drawer = menu->addAction(QStringLiteral("开钱箱"));
    drawer->setObjectName(QStringLiteral("drawerAction"));
    menu->addSeparator();
    QAction* past = menu->addAction(QStringLiteral("班次记录与日结…"));
    past->setObjectName(QStringLiteral("pastShiftsAction"));
    cash->setMenu(menu);
    auto* state = new QLabel(bar);
    state->setObjectName(QStringLiteral("shiftState"));
    bar->addWidget(shift);
    bar->addWidget(cash);
    bar->addWidget(state);

    QObject::connect(shift, &QToolButton::clicked, parent,
                     [parent] { guarded([parent] { closeShift(parent); }); });
    QObject::connect(in, &QAction::triggered, parent,
                     [parent] { guarded([parent] { moveCash(parent, Shifts::Move::In); }); });
    QObject::connect(out, &QAction::triggered, parent,
                     [parent] { guarded([parent] { moveCash(parent, Shifts::Move::Out); }); });
    QObject::connect(drawer, &QAction::triggered, parent, [] { guarded([] { openDrawer(); }); });
    QObject::connect(past, &QAction::triggered, parent,
                     [parent] { guarded([parent] { pastShifts(parent); }); });

    const auto refresh = [shift, state] {
        const std::optional<Shifts::Shift> open = Shifts::current();
        shift->setText(open ? QStringLiteral("交 班") : QStringLiteral("开 班"));
        shift->setToolTip(open ? QStringLiteral("清点钱箱，结束本班次并打印交班报表")
                               : QStringLiteral("清点备用金，开始本机的班次"));
        state->setText(
            open ? QStringLiteral(" 班次 %1（%2 开班） ").arg(open->key).arg(open->openedAt.mid(5, 11))
                 : QStringLiteral(" 未开班 "));
    };
    QObject::connect(&Db::Announcer::instance(), &Db::Announcer::committed, shift,
                     [refresh](const Db::Changes& changes) {
                         for (const Db::Change& change : changes)
                             if (change.table == QLatin1String("shifts")) {
                                 guarded(refresh);
                                 return;
                             }
                     });
    guarded(refresh);
}

ReportSnapshot shiftPage(const Shifts::Figures& f) {
    ReportSnapshot r;
    r.definition.title = QStringLiteral("交班报表");
    r.definition.fontSize = 11;
    r.definition.count = false;
    r.definition.columns = {column(QStringLiteral("项目"), 200),
                            column(QStringLiteral("笔数"), 60, Qt::AlignRight),
                            column(QStringLiteral("金额（元）"), 100, Qt::AlignRight)};
    r.title = QStringLiteral("交班报表 班次 %1").arg(f.shift.key);
    // Six items, three a line: the times have room.
    r.head = {{QStringLiteral("收银台"), f.shift.till},
              {QStringLiteral("收银员"), f.shift.operatorName},
              {QStringLiteral("交班人"), f.shift.closedBy},
              {QStringLiteral("营业日"), f.shift.day.toString(Qt::ISODate)},
              {QStringLiteral("开班"), f.shift.openedAt},
              {QStringLiteral("交班"), f.shift.isOpen() ? QStringLiteral("未交班") : f.shift.closedAt}};
    const Currency expected = f.shift.expected.value_or(f.expected());
    r.rows = {{QStringLiteral("备用金"), QString(), money(f.shift.openingFloat)},
              {QStringLiteral("现金销售"), QString::number(f.cashOrders), money(f.cashSales)},
              {QStringLiteral("会员卡销售"), QString::number(f.cardOrders), money(f.cardSales)},
              {QStringLiteral("折扣"), QString(), money(f.discounts)},
              {QStringLiteral("会员充值（现金）"), QString::number(f.recharges), money(f.rechargeCash)},
              {QStringLiteral("存入"), QString(), money(f.cashIn)},
              {QStringLiteral("支出"), QString(), money(f.cashOut)},
              {QStringLiteral("退货退款（现金）"), QString::number(f.refundCount), money(f.refunds)},
              {QStringLiteral("删除明细"), QString::number(f.removedLines), QString()},
              {QStringLiteral("删除订单"), QString::number(f.deletedOrders), QString()}};
    // Each cash movement, with its time, who and why.
    if (!f.movements.isEmpty())
        r.rows << QStringList{QStringLiteral("现金收支明细"), QString(), QString()};
    for (const Shifts::CashMovement& m : f.movements)
        r.rows << QStringList{QStringLiteral("%1 %2 %3 %4")
                                  .arg(Shifts::movementTime(m, f.shift.day), m.kind, m.operatorName, m.reason)
                                  .trimmed(),
                              QString(), money(m.kind == Shifts::CashIn ? m.amount : Currency() - m.amount)};
    r.rows << QStringList{QStringLiteral("应有现金"), QString(), money(expected)};
    if (f.shift.counted) {
        r.rows << QStringList{QStringLiteral("清点现金"), QString(), money(*f.shift.counted)}
               << QStringList{QStringLiteral("差额"), QString(), money(*f.shift.counted - expected)};
        if (!f.shift.countDetail.isEmpty())
            r.rows << QStringList{QStringLiteral("清点明细：") + f.shift.countDetail, QString(), QString()};
    } else if (!f.shift.isOpen()) {
        r.rows << QStringList{QStringLiteral("清点现金"), QString(), QStringLiteral("未清点")};
    }
    r.sums = {QString(), QString(), QString()};
    r.printed = printedNow();
    return r;
}

ReportSnapshot shiftsPage(const QList<Shifts::Figures>& shifts, const QString& title,
                          const QList<std::pair<QString, QString>>& head) {
    ReportSnapshot r;
    r.definition.title = title;
    r.definition.orientation = QPageLayout::Landscape;
    r.definition.fontSize = 8;
    const QList<double> widths = {70, 70, 60, 40, 40, 60, 60, 60, 55, 55, 55, 55, 60, 60, 55};
    for (int i = 0; i < ShiftColumns.size(); ++i)
        r.definition.columns << column(ShiftColumns[i], widths[i], i >= 5 ? Qt::AlignRight : Qt::AlignLeft,
                                       i >= 5 && i <= 11);
    r.title = title;
    r.head = head;
    QList<Currency> sums(ShiftColumns.size());
    for (const Shifts::Figures& f : shifts) {
        r.rows << shiftRow(f);
        sums[5] += f.shift.openingFloat;
        sums[6] += f.cashSales;
        sums[7] += f.cardSales;
        sums[8] += f.rechargeCash;
        sums[9] += f.cashIn;
        sums[10] += f.cashOut;
        sums[11] += f.refunds;
    }
    for (int i = 0; i < ShiftColumns.size(); ++i)
        r.sums << (r.definition.columns[i].sum ? money(sums[i]) : QString());
    r.printed = printedNow();
    return r;
}

ReportSnapshot dayPage(const Shifts::DayClose& day) {
    const Shifts::Figures& t = day.total;
    Currency counted, difference;
    int uncounted = 0;
    for (const Shifts::Figures& f : day.shifts) {
        if (f.shift.counted) {
            counted += *f.shift.counted;
            difference += *f.shift.counted - f.shift.expected.value_or(f.expected());
        } else {
            ++uncounted;
        }
    }
    return shiftsPage(day.shifts, QStringLiteral("日结 %1").arg(day.day.toString(Qt::ISODate)),
                      {{QStringLiteral("班次"), QString::number(day.shifts.size())},
                       {QStringLiteral("销售"), money(t.cashSales + t.cardSales)},
                       {QStringLiteral("应有现金"), money(t.expected())},
                       {QStringLiteral("清点现金"), money(counted)},
                       {QStringLiteral("差额"), money(difference)},
                       {QStringLiteral("未清点"), QString::number(uncounted)}});
}

QStringList dayLines(const Shifts::DayClose& day, int width) {
    QStringList lines;
    const QString title = QStringLiteral("日结报表");
    lines << QString((width - Receipts::textWidth(title)) / 2, QLatin1Char(' ')) + title;
    lines << Shifts::reportRow(QStringLiteral("日期"), day.day.toString(Qt::ISODate), width);
    lines << Shifts::reportRow(QStringLiteral("班次"), QString::number(day.shifts.size()), width);
    const QString rule(width, QLatin1Char('-'));
    Currency counted, difference;
    int uncounted = 0;
    for (const Shifts::Figures& f : day.shifts) {
        lines << rule;
        lines << Shifts::cutToColumns(
            QStringLiteral("#%1 %2 %3").arg(f.shift.key).arg(f.shift.till, f.shift.operatorName), width);
        const Currency expected = f.shift.expected.value_or(f.expected());
        lines << Shifts::reportRow(QStringLiteral("  应有现金"), money(expected), width);
        if (f.shift.counted) {
            counted += *f.shift.counted;
            difference += *f.shift.counted - expected;
            lines << Shifts::reportRow(QStringLiteral("  清点现金"), money(*f.shift.counted), width);
            lines << Shifts::reportRow(QStringLiteral("  差额"), money(*f.shift.counted - expected), width);
        } else {
            ++uncounted;
            lines << Shifts::reportRow(QStringLiteral("  清点现金"),
                                       f.shift.isOpen() ? QStringLiteral("未交班") : QStringLiteral("未清点"),
                                       width);
        }
    }
    const Shifts::Figures& t = day.total;
    lines << rule;
    lines << Shifts::reportRow(QStringLiteral("备用金"), money(t.shift.openingFloat), width);
    lines << Shifts::reportRow(QStringLiteral("现金销售 %1 单").arg(t.cashOrders), money(t.cashSales), width);
    lines << Shifts::reportRow(QStringLiteral("会员卡销售 %1 单").arg(t.cardOrders), money(t.cardSales),
                               width);
    lines << Shifts::reportRow(QStringLiteral("折扣"), money(t.discounts), width);
    lines << Shifts::reportRow(QStringLiteral("会员充值 %1 笔（现金）").arg(t.recharges),
                               money(t.rechargeCash), width);
    lines << Shifts::reportRow(QStringLiteral("存入"), money(t.cashIn), width);
    lines << Shifts::reportRow(QStringLiteral("支出"), money(t.cashOut), width);
    lines << Shifts::reportRow(QStringLiteral("退货退款 %1 笔（现金）").arg(t.refundCount), money(t.refunds),
                               width);
    lines << Shifts::reportRow(QStringLiteral("删除明细"), QString::number(t.removedLines), width);
    lines << Shifts::reportRow(QStringLiteral("删除订单"), QString::number(t.deletedOrders), width);
    lines << rule;
    lines << Shifts::reportRow(QStringLiteral("应有现金"), money(t.expected()), width);
    lines << Shifts::reportRow(QStringLiteral("清点现金"), money(counted), width);
    lines << Shifts::reportRow(QStringLiteral("差额"), money(difference), width);
    if (uncounted > 0)
        lines << Shifts::reportRow(QStringLiteral("未清点的班次"), QString::number(uncounted), width);
    return lines;
}

void setPageHook(std::function<void(const ReportSnapshot&)> hook) {
    pageHook = std::move(hook);
}

void renderPagePdf(const ReportSnapshot& page, const QString& path) {
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    ReportRenderer::setUp(pdf, page.definition);
    pdf.setDocName(page.title);
    ReportRenderer::paint(&pdf, page);
}

void previewPage(const ReportSnapshot& page, const QString& pdfName) {
    if (pageHook) {
        pageHook(page);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    ReportRenderer::setUp(printer, page.definition);
    printer.setDocName(page.title);
    Reports::previewWithPdf(
        printer, QStringLiteral("打印预览 - ") + page.title, QSize(1000, 760),
        [&](QPrinter* target) { ReportRenderer::paint(target, page); }, pdfName,
        [&](const QString& path) { renderPagePdf(page, path); });
}

} // namespace ShiftWindows

// --- 开班 ---

ShiftOpenDialog::ShiftOpenDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("shiftOpen"));
    setWindowTitle(QStringLiteral("开班 - 清点备用金"));
    auto* layout = new QVBoxLayout(this);
    auto* note = new QLabel(
        QStringLiteral("本机（%1）还没有开班。请清点钱箱中的备用金（找零用的现金）：").arg(Staff::tillName()),
        this);
    note->setObjectName(QStringLiteral("floatNote"));
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* form = new QFormLayout;
    floatEdit = amountBox(QStringLiteral("floatEdit"), this);
    form->addRow(QStringLiteral("备用金（元）:"), floatEdit);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    okButton = button(QStringLiteral("okButton"), QStringLiteral("开 班"), this);
    cancelButton = button(QStringLiteral("cancelButton"), QStringLiteral("以后再说"), this);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    setMinimumWidth(340);
    connectGuarded(okButton, &QPushButton::clicked, this, &ShiftOpenDialog::save);
    connect(floatEdit, &QLineEdit::returnPressed, okButton, &QPushButton::click);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void ShiftOpenDialog::save() {
    const std::optional<Currency> amount = ShiftWindows::cashAmount(floatEdit->text());
    if (!amount) {
        Messages::information(QStringLiteral("备用金必须是金额，例如 200 或 200.50，请重新填写。"));
        floatEdit->setFocus();
        return;
    }
    Shifts::open(*amount);
    accept();
}

// --- 交班: the count ---

ShiftCount::ShiftCount(const Shifts::Figures& figures, QWidget* parent)
    : QDialog(parent), m_key(figures.shift.key) {
    setupUi(this);
    shiftLabel->setText(QStringLiteral("班次 %1　收银台 %2\n开班 %3　%4")
                            .arg(figures.shift.key)
                            .arg(figures.shift.till, figures.shift.openedAt,
                                 figures.shift.operatorName.isEmpty()
                                     ? QString()
                                     : QStringLiteral("收银员 ") + figures.shift.operatorName));
    const QList<Currency>& denominations = Shifts::denominations();
    for (int i = 0; i < denominations.size(); ++i) {
        auto* caption = new QLabel(QStringLiteral("%1 元").arg(denominations[i].toString()), piecesBox);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto* box = new QSpinBox(piecesBox);
        box->setObjectName(QStringLiteral("pieces%1").arg(i));
        box->setRange(0, 99999);
        box->setAccessibleName(QStringLiteral("%1 元的张数").arg(denominations[i].toString()));
        auto* amount = new QLabel(QStringLiteral("0.00"), piecesBox);
        amount->setObjectName(QStringLiteral("amount%1").arg(i));
        amount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        amount->setMinimumWidth(90);
        piecesGrid->addWidget(caption, i, 0);
        piecesGrid->addWidget(new QLabel(QStringLiteral("×"), piecesBox), i, 1);
        piecesGrid->addWidget(box, i, 2);
        piecesGrid->addWidget(new QLabel(QStringLiteral("="), piecesBox), i, 3);
        piecesGrid->addWidget(amount, i, 4);
        pieces << box;
        amounts << amount;
        connect(box, &QSpinBox::valueChanged, this, &ShiftCount::recount);
    }
    // Blind: the expected cash only for an operator who may see it.
    const bool sees = Staff::may(Staff::Right::SeeExpected);
    sums->setRowVisible(expectedLabel, sees);
    blindNote->setVisible(!sees);
    if (sees)
        expectedLabel->setText(money(figures.expected()));
    connect(byPieces, &QRadioButton::toggled, this, &ShiftCount::recount);
    connectGuarded(okButton, &QPushButton::clicked, this, &ShiftCount::save);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    recount();
    pieces.first()->setFocus();
}

QList<int> ShiftCount::countedPieces() const {
    QList<int> out;
    if (byPieces->isChecked())
        for (const QSpinBox* box : pieces)
            out << box->value();
    return out;
}

void ShiftCount::recount() {
    const bool each = byPieces->isChecked();
    piecesBox->setEnabled(each);
    countedEdit->setReadOnly(each);
    if (!each) {
        countedEdit->setFocus();
        countedEdit->selectAll();
        return;
    }
    Currency sum;
    for (int i = 0; i < pieces.size(); ++i) {
        const Currency amount = Shifts::denominations()[i] * Currency::fromInt(pieces[i]->value());
        amounts[i]->setText(money(amount));
        sum += amount;
    }
    countedEdit->setText(money(sum));
}

void ShiftCount::save() {
    if (byPieces->isChecked()) {
        m_counted = Shifts::sumOfCount(countedPieces());
    } else {
        const std::optional<Currency> sum = ShiftWindows::cashAmount(countedEdit->text());
        if (!sum) {
            Messages::information(QStringLiteral("请填写清点的现金合计，例如 334.50。"));
            countedEdit->setFocus();
            return;
        }
        m_counted = *sum;
    }
    if (!MessageService::current().confirm(
            QStringLiteral("清点现金 %1 元。交班后本班次结束，确定交班吗？").arg(money(m_counted)),
            QStringLiteral("交班确认")))
        return;
    m_closed = Shifts::close(m_key, m_counted, countedPieces());
    accept();
}

// --- The report on the screen ---

ShiftReport::ShiftReport(const QString& title, const std::function<QStringList(int)>& lines,
                         const ReportSnapshot& page, const QString& pdfName, QWidget* parent)
    : QDialog(parent), m_title(title), m_lines(lines), m_page(page), m_pdfName(pdfName) {
    setObjectName(QStringLiteral("shiftReport"));
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    text = new QTextEdit(this);
    text->setObjectName(QStringLiteral("reportText"));
    text->setReadOnly(true);
    m_shown = lines(48);
    // Laid out as a table: the label on the left, the amount on the right, whatever the widths of
    // the screen font's characters.
    static const QRegularExpression labelAndValue(QStringLiteral("^(.*?\\S)\\s{2,}(\\S.*)$"));
    QString html = QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\">");
    for (int i = 0; i < m_shown.size(); ++i) {
        const QString& line = m_shown[i];
        const QRegularExpressionMatch m = labelAndValue.match(line);
        if (i == 0)
            html += QStringLiteral("<tr><td colspan=\"2\" align=\"center\"><b>%1</b></td></tr>")
                        .arg(line.trimmed().toHtmlEscaped());
        else if (!line.isEmpty() && line.count(QLatin1Char('-')) == line.size())
            html += QStringLiteral("<tr><td colspan=\"2\"><hr/></td></tr>");
        else if (m.hasMatch())
            html += QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td></tr>")
                        .arg(m.captured(1).toHtmlEscaped(), m.captured(2).toHtmlEscaped());
        else // a line of its own, indented as on the roll (a movement's reason)
            html += QStringLiteral("<tr><td colspan=\"2\">%1%2</td></tr>")
                        .arg(QStringLiteral("&nbsp;&nbsp;")
                                 .repeated(std::find_if(line.begin(), line.end(),
                                                        [](QChar c) { return c != u' '; }) -
                                           line.begin()),
                             line.trimmed().toHtmlEscaped());
    }
    text->setHtml(html + QStringLiteral("</table>"));
    const QFontMetrics metrics(text->font());
    text->setMinimumSize(metrics.horizontalAdvance(QStringLiteral("会员充值 99 笔（现金）")) * 2 + 40,
                         std::min(600, int(metrics.lineSpacing() * 1.35 * (m_shown.size() + 2))));
    layout->addWidget(text);
    auto* buttons = new QHBoxLayout;
    receiptButton = button(QStringLiteral("receiptButton"), QStringLiteral("打印小票"), this);
    pageButton = button(QStringLiteral("pageButton"), QStringLiteral("打印报表"), this);
    closeButton = button(QStringLiteral("closeButton"), QStringLiteral("关 闭"), this);
    buttons->addWidget(receiptButton);
    buttons->addWidget(pageButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    connectGuarded(receiptButton, &QPushButton::clicked, this, [this] {
        const Receipts::Setup setup = Receipts::loadSetup(folder());
        ReceiptPrint::printLines(m_lines(Receipts::columns(setup.width)), setup, m_title);
    });
    connectGuarded(pageButton, &QPushButton::clicked, this,
                   [this] { ShiftWindows::previewPage(m_page, m_pdfName); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

ShiftReport* ShiftReport::ofShift(const Shifts::Figures& figures, QWidget* parent) {
    return new ShiftReport(
        QStringLiteral("交班报表 - 班次 %1").arg(figures.shift.key),
        [figures](int columns) { return Shifts::reportLines(figures, columns); },
        ShiftWindows::shiftPage(figures), QStringLiteral("交班报表%1.pdf").arg(figures.shift.key), parent);
}

ShiftReport* ShiftReport::ofDay(const Shifts::DayClose& day, QWidget* parent) {
    return new ShiftReport(
        QStringLiteral("日结 - %1").arg(day.day.toString(Qt::ISODate)),
        [day](int columns) { return ShiftWindows::dayLines(day, columns); }, ShiftWindows::dayPage(day),
        QStringLiteral("日结%1.pdf").arg(day.day.toString(QStringLiteral("yyyyMMdd"))), parent);
}

// --- 存入 / 支出 ---

const QStringList CashMoveDialog::InReasons = {QStringLiteral("找零备用金"), QStringLiteral("补充零钱"),
                                               QStringLiteral("其他")};
const QStringList CashMoveDialog::OutReasons = {QStringLiteral("供应商付款"), QStringLiteral("买办公用品"),
                                                QStringLiteral("存入银行"), QStringLiteral("其他")};

CashMoveDialog::CashMoveDialog(Shifts::Move move, QWidget* parent) : QDialog(parent), m_move(move) {
    const bool in = move == Shifts::Move::In;
    setObjectName(QStringLiteral("cashMove"));
    setWindowTitle(in ? QStringLiteral("存入现金") : QStringLiteral("支出现金"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    amountEdit = amountBox(QStringLiteral("amountEdit"), this);
    reasonBox = new QComboBox(this);
    reasonBox->setObjectName(QStringLiteral("reasonBox"));
    reasonBox->setEditable(true);
    reasonBox->setInsertPolicy(QComboBox::NoInsert);
    reasonBox->addItems(in ? InReasons : OutReasons);
    reasonBox->lineEdit()->setMaxLength(40);
    form->addRow(in ? QStringLiteral("存入金额（元）:") : QStringLiteral("支出金额（元）:"), amountEdit);
    form->addRow(QStringLiteral("原    因:"), reasonBox);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    okButton =
        button(QStringLiteral("okButton"), in ? QStringLiteral("存 入") : QStringLiteral("支 出"), this);
    cancelButton = button(QStringLiteral("cancelButton"), QStringLiteral("取 消"), this);
    buttons->addWidget(okButton);
    buttons->addWidget(cancelButton);
    layout->addLayout(buttons);
    setMinimumWidth(320);
    connectGuarded(okButton, &QPushButton::clicked, this, &CashMoveDialog::save);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void CashMoveDialog::save() {
    const std::optional<Currency> amount = ShiftWindows::cashAmount(amountEdit->text());
    if (!amount || *amount <= Currency()) {
        Messages::information(QStringLiteral("金额必须大于零，例如 50 或 12.50，请重新填写。"));
        amountEdit->setFocus();
        return;
    }
    QString reason = reasonBox->currentText().simplified();
    reason.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (reason.isEmpty()) {
        Messages::information(QStringLiteral("请选择或填写原因。"));
        reasonBox->setFocus();
        return;
    }
    Shifts::moveCash(m_move, *amount, reason.left(40));
    accept();
}

// --- 班次记录 ---

ShiftList::ShiftList(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("shiftList"));
    setWindowTitle(QStringLiteral("班次记录与日结"));
    auto* layout = new QVBoxLayout(this);
    auto* days = new QHBoxLayout;
    fromEdit = new QDateEdit(Clock::now().date().addDays(-6), this);
    fromEdit->setObjectName(QStringLiteral("fromEdit"));
    toEdit = new QDateEdit(Clock::now().date(), this);
    toEdit->setObjectName(QStringLiteral("toEdit"));
    for (QDateEdit* edit : {fromEdit, toEdit}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    days->addWidget(new QLabel(QStringLiteral("开班日期 从"), this));
    days->addWidget(fromEdit);
    days->addWidget(new QLabel(QStringLiteral("到"), this));
    days->addWidget(toEdit);
    days->addStretch(1);
    layout->addLayout(days);
    table = new QTableWidget(0, int(ShiftColumns.size()), this);
    table->setObjectName(QStringLiteral("shiftTable"));
    table->setHorizontalHeaderLabels(ShiftColumns);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table, 1);
    totalLabel = new QLabel(this);
    totalLabel->setObjectName(QStringLiteral("totalLabel"));
    layout->addWidget(totalLabel);
    auto* buttons = new QHBoxLayout;
    reportButton = button(QStringLiteral("reportButton"), QStringLiteral("交班报表"), this);
    dayButton = button(QStringLiteral("dayButton"), QStringLiteral("日 结"), this);
    printButton = button(QStringLiteral("printButton"), QStringLiteral("打印列表"), this);
    closeButton = button(QStringLiteral("closeButton"), QStringLiteral("关 闭"), this);
    buttons->addWidget(reportButton);
    buttons->addWidget(dayButton);
    buttons->addWidget(printButton);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    resize(980, 480);

    connectGuarded(fromEdit, &QDateEdit::dateChanged, this, &ShiftList::reload);
    connectGuarded(toEdit, &QDateEdit::dateChanged, this, &ShiftList::reload);
    connectGuarded(reportButton, &QPushButton::clicked, this, [this] {
        const int row = table->currentRow();
        if (row < 0 || row >= m_shown.size()) {
            Messages::information(QStringLiteral("请先在列表中选中一个班次"));
            return;
        }
        QScopedPointer<ShiftReport> report(
            ShiftReport::ofShift(Shifts::figures(m_shown[row].shift.key), this));
        report->exec();
    });
    connectGuarded(dayButton, &QPushButton::clicked, this, [this] {
        const int row = table->currentRow();
        const QDate day = row >= 0 && row < m_shown.size() ? m_shown[row].shift.day : toEdit->date();
        QScopedPointer<ShiftReport> report(ShiftReport::ofDay(Shifts::dayClose(day), this));
        report->exec();
    });
    connectGuarded(printButton, &QPushButton::clicked, this, [this] {
        const QString title =
            QStringLiteral("班次记录 %1 至 %2")
                .arg(fromEdit->date().toString(Qt::ISODate), toEdit->date().toString(Qt::ISODate));
        ShiftWindows::previewPage(ShiftWindows::shiftsPage(m_shown, title, {}),
                                  title + QStringLiteral(".pdf"));
    });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    guarded([this] { reload(); });
}

void ShiftList::reload() {
    m_shown.clear();
    for (const Shifts::Shift& s : Shifts::shiftsOf(fromEdit->date(), toEdit->date()))
        m_shown << Shifts::figures(s.key);
    table->setRowCount(int(m_shown.size()));
    Currency difference;
    int uncounted = 0;
    for (int row = 0; row < m_shown.size(); ++row) {
        const QStringList texts = shiftRow(m_shown[row]);
        for (int col = 0; col < texts.size(); ++col) {
            auto* item = new QTableWidgetItem(texts[col]);
            if (col >= 5)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (col == 14 && texts[col].startsWith(QLatin1Char('-')))
                item->setForeground(Qt::red);
            table->setItem(row, col, item);
        }
        const Shifts::Shift& s = m_shown[row].shift;
        if (s.counted)
            difference += *s.counted - s.expected.value_or(m_shown[row].expected());
        else if (!s.isOpen())
            ++uncounted;
    }
    totalLabel->setText(QStringLiteral("共 %1 个班次，差额合计 %2 元，未清点 %3 个")
                            .arg(m_shown.size())
                            .arg(money(difference))
                            .arg(uncounted));
}
