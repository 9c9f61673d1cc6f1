#include "widgets/importdialog.h"

#include "widgets/layoutstore.h"
#include "widgets/messages.h"

#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>

namespace {

QString noun(Importing::Kind kind) {
    return kind == Importing::Kind::Products ? QStringLiteral("产品") : QStringLiteral("会员");
}

} // namespace

ImportDialog::ImportDialog(Importing::Plan plan, QWidget* parent) : QDialog(parent), m_plan(std::move(plan)) {
    setupUi(this);
    setWindowTitle(QStringLiteral("导入") + noun(m_plan.kind));

    int bad = 0;
    for (const Importing::Row& row : m_plan.rows)
        bad += row.bad ? 1 : 0;
    // The summary is plain text: the titles come from the file.
    QString text = QStringLiteral("共 %1 行，其中 %2 行有问题。").arg(m_plan.rows.size()).arg(bad);
    // Problems of the title row (missing or unknown columns) belong to no data row.
    QStringList titleProblems;
    for (const Importing::Problem& p : m_plan.problems)
        if (p.row <= 1 || m_plan.rows.isEmpty())
            titleProblems << p.text();
    if (m_plan.moreProblems > 0)
        titleProblems << QStringLiteral("还有 %1 处问题未列出").arg(m_plan.moreProblems);
    if (!titleProblems.isEmpty())
        text += QLatin1Char('\n') + titleProblems.join(QLatin1Char('\n'));
    if (m_plan.hasProblems())
        text += QStringLiteral("\n有问题时不会写入任何数据，除非选择“只导入无误的行”。");

    // A million rows would be a million lines of widgets: the first ones show what the file holds.
    constexpr int Shown = 1000;
    const int shown = std::min(int(m_plan.rows.size()), Shown);
    if (shown < m_plan.rows.size())
        text += QStringLiteral("\n下表只列出前 %1 行。").arg(Shown);
    summary->setText(text);
    rows->setRowCount(shown);
    rows->setColumnCount(int(m_plan.columns.size()) + 2);
    // The row number and its problems first, so they are seen whatever the width of the data.
    rows->setHorizontalHeaderLabels(QStringList{QStringLiteral("行号"), QStringLiteral("问题")} +
                                    m_plan.columns);
    for (int r = 0; r < shown; ++r) {
        const Importing::Row& row = m_plan.rows[r];
        rows->setItem(r, 0, new QTableWidgetItem(QString::number(row.number)));
        auto* problems = new QTableWidgetItem(row.problems.join(QStringLiteral("；")));
        if (row.bad)
            problems->setForeground(QColor(0xc0, 0x00, 0x00));
        rows->setItem(r, 1, problems);
        const QStringList cells = m_plan.cells(row);
        for (int c = 0; c < cells.size(); ++c)
            rows->setItem(r, c + 2, new QTableWidgetItem(cells[c]));
    }
    rows->resizeColumnsToContents();
    for (int c = 0; c < rows->columnCount(); ++c)
        rows->setColumnWidth(c, std::min(rows->columnWidth(c), c == 1 ? 320 : 160));

    importAll->setEnabled(!m_plan.hasProblems());
    importGood->setEnabled(m_plan.hasProblems() && m_plan.goodRows() > 0);
    connectGuarded(importAll, &QPushButton::clicked, this, [this] { write(false); });
    connectGuarded(importGood, &QPushButton::clicked, this, [this] { write(true); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void ImportDialog::write(bool goodRowsOnly) {
    const int written = Importing::write(m_plan, goodRowsOnly);
    accept();
    // The rows left out are said too: the file is not all in the ledger.
    const int skipped = int(m_plan.rows.size()) - written;
    Messages::information(skipped > 0
                              ? QStringLiteral("已导入 %1 个%2，跳过 %3 行有问题的行。")
                                    .arg(written)
                                    .arg(noun(m_plan.kind))
                                    .arg(skipped)
                              : QStringLiteral("已导入 %1 个%2。").arg(written).arg(noun(m_plan.kind)));
}

void ImportDialog::run(Importing::Kind kind, QWidget* parent) {
    QFileDialog chooser(parent, QStringLiteral("导入") + noun(kind),
                        LayoutStore::lastFolder(QStringLiteral("export")),
                        QStringLiteral("表格文件 (*.xlsx *.csv)"));
    chooser.setObjectName(QStringLiteral("importFile"));
    chooser.setFileMode(QFileDialog::ExistingFile);
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    const QString path = chooser.selectedFiles().first();
    LayoutStore::setLastFolder(QStringLiteral("export"), QFileInfo(path).absolutePath());
    ImportDialog dialog(Importing::checkFile(kind, path), parent);
    dialog.exec();
}
