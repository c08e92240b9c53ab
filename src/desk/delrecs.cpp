#include "desk/delrecs.h"

#include "store/clock.h"
#include "store/formplacement.h"
#include "store/settings.h"
#include "ui_delrecs.h"

#include <QDateEdit>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

TRecDel::TRecDel(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TRecDel>())
{
    m_ui->setupUi(this);
    SetDate(Now().date());
    connect(m_ui->Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ui->dpfrom, &QDateEdit::dateChanged, this, &TRecDel::dpfromChange);
    // A click on the picker counts as choosing a date, even before it changes.
    m_ui->dpfrom->installEventFilter(this);
    if (QLineEdit *edit = m_ui->dpfrom->findChild<QLineEdit *>())
        edit->installEventFilter(this);
}

TRecDel::~TRecDel() = default;

void TRecDel::SetDate(const QDate &date)
{
    const QSignalBlocker quiet(m_ui->dpfrom);
    m_ui->dpfrom->setDate(date);
}

QDate TRecDel::Date() const
{
    return m_ui->dpfrom->date();
}

bool TRecDel::EraseAll() const
{
    return m_ui->rball->isChecked();
}

bool TRecDel::EraseBeforeDate() const
{
    return m_ui->rbdate->isChecked();
}

void TRecDel::dpfromChange()
{
    m_ui->rbdate->setChecked(true);
}

bool TRecDel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress)
        dpfromChange();
    return QDialog::eventFilter(watched, event);
}

void TRecDel::showEvent(QShowEvent *event)
{
    // Centred on the screen rather than on the main window.
    CentreOnScreen(this);
    QDialog::showEvent(event);
}
