#include "store/combofill.h"

#include "store/datasrc.h"
#include "store/dbschema.h"

#include <QComboBox>

void FillComboFromQuery(QComboBox *combo, const QString &displayField, int key,
                        const QString &keyField, const QString &sql)
{
    combo->clear();
    if (!dsrc)
        throw EDatabaseError(QStringLiteral("The data module is not created"));
    TStatement q = dsrc->src.Prepare(sql);
    const int display = q.ColumnIndex(displayField);
    const int keyColumn = q.ColumnIndex(keyField);
    if (display < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(displayField));
    if (key > 0 && keyColumn < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(keyField));
    int selected = -1;
    while (q.Step()) {
        combo->addItem(q.ColumnText(display));
        if (key > 0 && q.ColumnInt64(keyColumn) == key)
            selected = combo->count() - 1;
    }
    if (key == 0 && combo->count() > 0)
        selected = 0;
    // A combo selects its first item by itself; an unmatched key must leave none selected.
    combo->setCurrentIndex(selected);
}

void FillGroupCombo(QComboBox *combo, int id)
{
    FillComboFromQuery(combo, Schema::Gid::Descx, id, Schema::Gid::Id,
                       QStringLiteral("select * from gid order by DESCX"));
}
