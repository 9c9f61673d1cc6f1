#pragma once

#include "widgets/databound.h"

// The grid of a pick list: edited in place; the navigator stores what is typed in its open cell.
class ListGrid : public DataGrid {
public:
    using DataGrid::DataGrid;
    // Closes an open cell editor without storing its text.
    void dropEditing() {
        if (state() != QAbstractItemView::EditingState)
            return;
        for (QWidget* editor : viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (editor->isVisible())
                closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
};
