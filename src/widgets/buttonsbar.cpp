#include "widgets/buttonsbar.h"

#include "widgets/pictures.h"

#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

ButtonsBar::ButtonsBar(const QString& name, QWidget* parent) : QFrame(parent) {
    setObjectName(name);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
}

QPushButton* ButtonsBar::addSection(const QString& caption) {
    const int index = int(m_sections.size());
    Section section;
    section.header = new QPushButton(caption, this);
    section.header->setObjectName(objectName() + QStringLiteral("Sections%1").arg(index));
    section.header->setProperty("role", QStringLiteral("section"));
    section.body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(section.body);
    bodyLayout->setContentsMargins(0, 4, 0, 4);
    bodyLayout->setSpacing(2);
    // Sections stack at the top; the open one shows its items below its header.
    const int at = m_layout->count() - 1;
    m_layout->insertWidget(at, section.header);
    m_layout->insertWidget(at + 1, section.body);
    connect(section.header, &QPushButton::clicked, this, [this, index] { setOpenSection(index); });
    m_sections.append(section);
    setOpenSection(m_open < 0 ? 0 : m_open);
    return section.header;
}

QToolButton* ButtonsBar::addItem(const QString& caption, int picture) {
    Section& section = m_sections.last();
    auto* button = new QToolButton(section.body);
    button->setObjectName(section.header->objectName() + QStringLiteral("Items%1").arg(section.items.size()));
    button->setText(caption);
    button->setIcon(Pictures::icon(picture));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setFixedHeight(60);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    section.body->layout()->addWidget(button);
    section.items.append(button);
    return button;
}

void ButtonsBar::setOpenSection(int section) {
    m_open = section;
    for (int i = 0; i < m_sections.size(); ++i) {
        m_sections[i].body->setVisible(i == section);
        // The open section's header is marked (see the style sheet).
        QPushButton* header = m_sections[i].header;
        if (header->property("open").toBool() != (i == section)) {
            header->setProperty("open", i == section);
            header->style()->unpolish(header);
            header->style()->polish(header);
        }
    }
}
