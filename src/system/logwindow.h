#pragma once

#include "ledger/oplog.h"
#include "ui_logwindow.h"

#include <QDialog>
#include <optional>
#include <vector>

class SharedQuery;

// "操作日志": the owner reads who did what at which till, newest first, a page at a time; found by
// days, operator, till and action, and exported as a whole. Reading it needs the right to read
// the log.
class Trizhi : public QDialog, public Ui::Trizhi {
    Q_OBJECT
public:
    static constexpr int PageRows = 200;

    explicit Trizhi(QWidget* parent = nullptr);

    // What the filters ask for now.
    OpLog::Filter filter() const;
    // The page shown, from 1.
    int page() const { return int(m_starts.size()); }
    SharedQuery* query() const { return m_query; }

public slots:
    void btnSearchClick();
    void btnFirstClick();
    void btnPrevClick();
    void btnNextClick();
    void btnExcelClick();
    void btnCsvClick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The lists' values afresh, what was chosen kept where it still is.
    void fillChoices();
    // Shows the page that starts after the row (the first page for none).
    void showPage(const std::optional<OpLog::Row>& after);
    void exportAll(Spreadsheet::Format format);
    // Filters changed by the user: the first page of what they find.
    void filtersChanged();

    SharedQuery* m_query = nullptr;
    // Where each page shown so far starts: the last row of the page before (none for the first).
    std::vector<std::optional<OpLog::Row>> m_starts;
    bool m_filling = false;
};

extern Trizhi* rizhi;
