#include "system/logwindow.h"

#include "core/clock.h"
#include "data/database.h"
#include "data/sharedquery.h"
#include "ledger/staff.h"
#include "widgets/gridexport.h"
#include "widgets/messages.h"

Trizhi* rizhi = nullptr;

namespace {
const QString Everyone = QStringLiteral("全部");
} // namespace

Trizhi::Trizhi(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    m_query = new SharedQuery(QStringLiteral("Query_rizhi"), Db::Business, OpLog::Table, QStringLiteral("id"),
                              this);
    gridLog->bind(m_query, {{QStringLiteral("logged_at"), QStringLiteral("时间"), 130},
                            {QStringLiteral("till_name"), QStringLiteral("收银机"), 80},
                            {QStringLiteral("operator_name"), QStringLiteral("操作员"), 70},
                            {QStringLiteral("authorized_by"), QStringLiteral("授权人"), 70},
                            {QStringLiteral("action"), QStringLiteral("操作"), 90},
                            {QStringLiteral("touched"), QStringLiteral("涉及"), 110},
                            {QStringLiteral("old_value"), QStringLiteral("原值"), 160},
                            {QStringLiteral("new_value"), QStringLiteral("新值"), 160}});
    const QDate today = Clock::now().date();
    deFrom->setDate(today);
    deTo->setDate(today);
    deFrom->setEnabled(false);
    deTo->setEnabled(false);
    connectGuarded(btnSearch, &QPushButton::clicked, this, &Trizhi::btnSearchClick);
    connectGuarded(btnFirst, &QPushButton::clicked, this, &Trizhi::btnFirstClick);
    connectGuarded(btnPrev, &QPushButton::clicked, this, &Trizhi::btnPrevClick);
    connectGuarded(btnNext, &QPushButton::clicked, this, &Trizhi::btnNextClick);
    connectGuarded(btnExcel, &QPushButton::clicked, this, &Trizhi::btnExcelClick);
    connectGuarded(btnCsv, &QPushButton::clicked, this, &Trizhi::btnCsvClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connectGuarded(chkDays, &QCheckBox::toggled, this, [this] {
        deFrom->setEnabled(chkDays->isChecked());
        deTo->setEnabled(chkDays->isChecked());
        filtersChanged();
    });
    connectGuarded(deFrom, &QDateEdit::dateChanged, this, &Trizhi::filtersChanged);
    connectGuarded(deTo, &QDateEdit::dateChanged, this, &Trizhi::filtersChanged);
    for (QComboBox* box : {cbOperator, cbTill, cbAction})
        connectGuarded(box, &QComboBox::currentIndexChanged, this, &Trizhi::filtersChanged);
}

OpLog::Filter Trizhi::filter() const {
    OpLog::Filter f;
    if (chkDays->isChecked()) {
        f.from = std::min(deFrom->date(), deTo->date());
        f.to = std::max(deFrom->date(), deTo->date());
    }
    auto chosen = [](const QComboBox* box) {
        return box->currentIndex() > 0 ? box->currentText() : QString();
    };
    f.operatorName = chosen(cbOperator);
    f.till = chosen(cbTill);
    f.action = chosen(cbAction);
    return f;
}

void Trizhi::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Read once the window is on screen; without the right it closes again, saying so.
    QMetaObject::invokeMethod(
        this,
        [this] {
            guarded([this] {
                try {
                    fillChoices();
                    btnSearchClick();
                } catch (...) {
                    reject();
                    throw;
                }
            });
        },
        Qt::QueuedConnection);
}

void Trizhi::hideEvent(QHideEvent* event) {
    // The rows shown are not kept while nobody reads them.
    m_query->close();
    m_starts.clear();
    QDialog::hideEvent(event);
}

void Trizhi::fillChoices() {
    const OpLog::Choices choices = OpLog::choices();
    m_filling = true;
    const auto fill = [](QComboBox* box, const QStringList& values) {
        const QString was = box->currentIndex() > 0 ? box->currentText() : QString();
        box->clear();
        box->addItem(Everyone);
        box->addItems(values);
        box->setCurrentIndex(std::max(0, was.isEmpty() ? 0 : int(values.indexOf(was)) + 1));
    };
    fill(cbOperator, choices.operators);
    fill(cbTill, choices.tills);
    fill(cbAction, choices.actions);
    m_filling = false;
}

void Trizhi::filtersChanged() {
    if (m_filling || !isVisible())
        return;
    btnSearchClick();
}

void Trizhi::btnSearchClick() {
    m_starts.clear();
    showPage(std::nullopt);
}

void Trizhi::btnFirstClick() {
    btnSearchClick();
}

void Trizhi::btnPrevClick() {
    if (m_starts.size() < 2)
        return;
    m_starts.pop_back();
    const std::optional<OpLog::Row> start = m_starts.back();
    m_starts.pop_back();
    showPage(start);
}

void Trizhi::btnNextClick() {
    if (!m_query->isOpen() || m_query->recordCount() < PageRows)
        return;
    const int last = m_query->recordCount() - 1;
    OpLog::Row end;
    end.key = m_query->value(last, QStringLiteral("id")).toLongLong();
    end.at = m_query->value(last, QStringLiteral("logged_at")).toString();
    showPage(end);
}

void Trizhi::showPage(const std::optional<OpLog::Row>& after) {
    Staff::require(Staff::Right::ReadLog, QStringLiteral("操作日志"));
    const OpLog::Filter f = filter();
    Db::Params params;
    const QString sql = OpLog::searchStatement(f, PageRows, after, &params);
    m_query->reset(sql, params);
    m_starts.push_back(after);
    // A next page when a row follows this page's last one.
    bool more = false;
    if (m_query->recordCount() == PageRows) {
        OpLog::Row end;
        end.key = m_query->value(PageRows - 1, QStringLiteral("id")).toLongLong();
        end.at = m_query->value(PageRows - 1, QStringLiteral("logged_at")).toString();
        more = !OpLog::search(f, 1, end).isEmpty();
    }
    btnFirst->setEnabled(m_starts.size() > 1);
    btnPrev->setEnabled(m_starts.size() > 1);
    btnNext->setEnabled(more);
    lblPage->setText(m_query->recordCount() == 0 ? QStringLiteral("没有找到记录")
                                                 : QStringLiteral("第 %1 页，本页 %2 条%3")
                                                       .arg(m_starts.size())
                                                       .arg(m_query->recordCount())
                                                       .arg(more ? QStringLiteral("，后面还有") : QString()));
}

void Trizhi::exportAll(Spreadsheet::Format format) {
    const OpLog::Filter f = filter();
    // Asked before the file is: a refusal asks for no file.
    Staff::require(Staff::Right::ReadLog, QStringLiteral("操作日志"));
    Staff::require(Staff::Right::ExportImport, QStringLiteral("操作日志"));
    GridExport::run(this, windowTitle(), format, 0,
                    [f, format](const QString& path, const Spreadsheet::Progress& progress) {
                        return OpLog::exportRows(f, path, format, progress);
                    });
}

void Trizhi::btnExcelClick() {
    exportAll(Spreadsheet::Format::Xlsx);
}

void Trizhi::btnCsvClick() {
    exportAll(Spreadsheet::Format::Csv);
}
