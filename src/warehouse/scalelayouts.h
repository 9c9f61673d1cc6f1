#pragma once

#include "core/scalelabel.h"

#include <QDialog>

class QTableWidget;

// 秤签设置: the label layouts the shop's scales print, one a row: its name, the digits of the whole
// code, the leading digits that mark a label and their range, and where the product's code, the
// price (fen) and the weight (grams) stand (from 1, the first digit; empty: the label has none).
// Saved for the whole shop; a layout that cannot be read is refused with the reason.
class ScaleLayoutsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ScaleLayoutsDialog(QWidget* parent = nullptr);

    // The table's rows as layouts; refused (with the row and column) where a cell is no number.
    QList<ScaleLabels::Layout> layoutsShown() const;
    void showLayouts(const QList<ScaleLabels::Layout>& layouts);

private:
    void addRow(const ScaleLabels::Layout& layout);
    void save();
    QTableWidget* m_table;
};
