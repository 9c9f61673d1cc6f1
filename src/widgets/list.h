#pragma once

#include "ui_list.h"

#include <QDialog>

class SharedQuery;

// "菜单项编辑": the pick-list editor. Four panels, one per pick list (major categories, minor
// categories, units, order categories); the opener shows one. Entries are typed into the grid and
// stored with the navigator; the grids work on the shared pick-list queries, so the opener's
// drop-down list offers a new entry at once.
class Tlist : public QDialog, public Ui::Tlist {
    Q_OBJECT
public:
    // One panel: header, navigator (insert, delete, post) and the grid.
    struct Panel {
        QFrame* panel = nullptr;
        QLabel* header = nullptr;
        QFrame* navigator = nullptr;
        QToolButton* insertButton = nullptr; // objectName "nbInsert"
        QToolButton* deleteButton = nullptr; // "nbDelete"
        QToolButton* postButton = nullptr;   // "nbPost"
        DataGrid* grid = nullptr;
        SharedQuery* query = nullptr;
    };

    explicit Tlist(QWidget* parent = nullptr);
    ~Tlist() override;
    // Makes exactly one of the four panels visible: "caidan_dalei", "caidan_xilei",
    // "caidan_danwei" or "caidan_dingdanlei". The opener then shows the editor modally.
    void showPanel(const QString& panel);
    // The panel shown now, or nullptr.
    const Panel* visiblePanel() const;
    const Panel& panel(int index) const { return m_panels[index]; }

    // Navigator actions on a panel's list.
    void insertEntry(const Panel& panel);
    void deleteEntry(const Panel& panel);
    void postEntry(const Panel& panel);

public slots:
    // Closing stores an entry typed and not yet stored, and drops an inserted row left empty.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Icons, names and actions of a panel's navigator; its grid on its list.
    void setUpPanel(int index);
    void focusChanged(QWidget* old, QWidget* now);
    Panel m_panels[4];
};

extern Tlist* list;
