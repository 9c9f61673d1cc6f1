#pragma once

#include <QFrame>
#include <QList>

class QPushButton;
class QToolButton;
class QVBoxLayout;

// The sectioned navigation bar: a header button per section and the section's item buttons
// (picture above text) shown only while the section is open. Clicking a header opens its section.
class ButtonsBar : public QFrame {
    Q_OBJECT
public:
    explicit ButtonsBar(const QString& name, QWidget* parent = nullptr);
    // Adds a section; its header is named <bar>Sections<n>, its items <bar>Sections<n>Items<m>.
    QPushButton* addSection(const QString& caption);
    QToolButton* addItem(const QString& caption, int picture);
    int openSection() const { return m_open; }
    void setOpenSection(int section);
    QPushButton* header(int section) const { return m_sections.value(section).header; }
    QToolButton* item(int section, int item) const { return m_sections.value(section).items.value(item); }

private:
    struct Section {
        QPushButton* header = nullptr;
        QWidget* body = nullptr;
        QList<QToolButton*> items;
    };
    QList<Section> m_sections;
    QVBoxLayout* m_layout;
    int m_open = -1;
};
