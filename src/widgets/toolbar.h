#pragma once

#include <QFrame>
#include <QString>

class QHBoxLayout;
class QLineEdit;
class QToolButton;

// A frame's tool bar: picture buttons with their caption below, dividers between groups, and a
// search box at the right end.
class ToolBar : public QFrame {
    Q_OBJECT
public:
    explicit ToolBar(QWidget* parent, const QString& name = QStringLiteral("bsSkinToolBar1"));
    QToolButton* addButton(const QString& name, const QString& caption, int picture);
    void addDivider();
    void addStretch();
    // A label and a search box at the current end of the bar.
    QLineEdit* addSearch(const QString& labelName, const QString& label, const QString& editName);
    void addWidget(QWidget* widget);

private:
    QHBoxLayout* m_layout;
};

// A flat picture button with its caption below the picture.
QToolButton* makePictureButton(QWidget* parent, const QString& name, const QString& caption, int picture);
