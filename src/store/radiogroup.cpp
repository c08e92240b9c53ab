#include "store/radiogroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget *parent) : TRadioGroup(QString(), parent) {}

TRadioGroup::TRadioGroup(const QString &title, QWidget *parent)
    : QGroupBox(title, parent), m_group(new QButtonGroup(this)), m_layout(new QVBoxLayout(this))
{
    connect(m_group, &QButtonGroup::idToggled, this, &TRadioGroup::buttonToggled);
}

int TRadioGroup::AddItem(const QString &text)
{
    auto *button = new QRadioButton(text, this);
    const int index = int(m_buttons.size());
    m_buttons.append(button);
    m_group->addButton(button, index);
    m_layout->addWidget(button);
    return index;
}

void TRadioGroup::AddItems(const QStringList &texts)
{
    for (const QString &text : texts)
        AddItem(text);
}

QString TRadioGroup::ItemText(int index) const
{
    QRadioButton *button = Button(index);
    return button ? button->text() : QString();
}

QRadioButton *TRadioGroup::Button(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : nullptr;
}

int TRadioGroup::ItemIndex() const
{
    return m_index;
}

void TRadioGroup::SetItemIndex(int index)
{
    if (QRadioButton *button = Button(index)) {
        button->setChecked(true);
        return;
    }
    if (m_index < 0)
        return;
    // An exclusive group never lets its last checked button go.
    m_group->setExclusive(false);
    m_buttons[m_index]->setChecked(false);
    m_group->setExclusive(true);
}

void TRadioGroup::buttonToggled(int id, bool checked)
{
    if (checked) {
        if (id == m_index)
            return;
        m_index = id;
        emit ItemIndexChanged(id);
    } else if (id == m_index && m_group->checkedId() < 0) {
        // Unchecked with no other taking its place.
        m_index = -1;
        emit ItemIndexChanged(-1);
    }
}
