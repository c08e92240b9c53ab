#include "store/pragmascope.h"

TPragmaScope::TPragmaScope(TDatabase &db, const char *pragma, qint64 value)
    : m_db(db), m_pragma(QStringLiteral("PRAGMA ") + QLatin1String(pragma))
{
    try {
        TStatement st = m_db.Prepare(m_pragma);
        if (!st.Step())
            return;
        m_before = st.ColumnInt64(0);
        st = TStatement();
        if (m_before == value)
            return;
        m_db.Exec(m_pragma + QLatin1Char('=') + QString::number(value));
        m_changed = true;
    } catch (const EDatabaseError &) {
    }
}

TPragmaScope::~TPragmaScope()
{
    if (!m_changed)
        return;
    try {
        m_db.Exec(m_pragma + QLatin1Char('=') + QString::number(m_before));
    } catch (const EDatabaseError &) {
    }
}
