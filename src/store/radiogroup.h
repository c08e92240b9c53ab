#pragma once
// `TRadioGroup`: a group box of radio buttons stacked top to bottom, one of them (or none)
// checked, read and set by index. Main thread only.

#include <QGroupBox>
#include <QList>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

class TRadioGroup : public QGroupBox
{
    Q_OBJECT

public:
    explicit TRadioGroup(QWidget *parent = nullptr);
    explicit TRadioGroup(const QString &title, QWidget *parent = nullptr);

    // A button with the text at the bottom; its index.
    int AddItem(const QString &text);
    void AddItems(const QStringList &texts);
    int Count() const { return int(m_buttons.size()); }
    QString ItemText(int index) const;
    QRadioButton *Button(int index) const; // nullptr outside 0..Count()-1

    // The checked item, -1 when none is.
    int ItemIndex() const;
    // Checks the item; an index outside the items unchecks all (-1 is the usual way).
    void SetItemIndex(int index);

signals:
    // The user or the program checked another item (or none: -1).
    void ItemIndexChanged(int index);

private:
    void buttonToggled(int id, bool checked);

    QButtonGroup *m_group;
    QVBoxLayout *m_layout;
    QList<QRadioButton *> m_buttons;
    int m_index = -1;
};
