#include "widgets/toolbar.h"

#include "widgets/pictures.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

QToolButton* makePictureButton(QWidget* parent, const QString& name, const QString& caption, int picture) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(Pictures::icon(picture));
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumWidth(52);
    return button;
}

ToolBar::ToolBar(QWidget* parent, const QString& name) : QFrame(parent) {
    setObjectName(name);
    setProperty("role", QStringLiteral("toolbar"));
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(4, 2, 4, 2);
    m_layout->setSpacing(2);
}

QToolButton* ToolBar::addButton(const QString& name, const QString& caption, int picture) {
    QToolButton* button = makePictureButton(this, name, caption, picture);
    m_layout->addWidget(button);
    return button;
}

void ToolBar::addDivider() {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    m_layout->addWidget(line);
}

void ToolBar::addStretch() {
    m_layout->addStretch(1);
}

QLineEdit* ToolBar::addSearch(const QString& labelName, const QString& label, const QString& editName) {
    auto* caption = new QLabel(label, this);
    caption->setObjectName(labelName);
    auto* edit = new QLineEdit(this);
    edit->setObjectName(editName);
    edit->setMinimumWidth(140);
    edit->setMaximumWidth(200);
    m_layout->addWidget(caption);
    m_layout->addWidget(edit);
    return edit;
}

void ToolBar::addWidget(QWidget* widget) {
    m_layout->addWidget(widget);
}
