#include "desk/login.h"

#include "store/datasrc.h"
#include "store/dbschema.h"
#include "store/passwd.h"

namespace {

const QString &PasswordField = Schema::Passwd::Password;

// Closes the password table on every way out, so the table is never left open holding the
// stored text.
class ClosePasswordTable
{
public:
    explicit ClosePasswordTable(TDataSet &table) : m_table(table) {}
    ~ClosePasswordTable() { m_table.Close(); }
    ClosePasswordTable(const ClosePasswordTable &) = delete;
    ClosePasswordTable &operator=(const ClosePasswordTable &) = delete;

private:
    TDataSet &m_table;
};

TDataSet &passwordTable()
{
    if (!dsrc)
        throw EDatabaseError(QStringLiteral("The data module is not created"));
    return dsrc->pwdtbl;
}

} // namespace

bool SameSecret(const QString &expected, const QString &given)
{
    // Every character of the expected text is looked at whatever the given one holds; a
    // different length only shows in the result.
    const qsizetype n = expected.size();
    const qsizetype m = given.size();
    unsigned diff = n == m ? 0u : 1u;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t g = i < m ? given.at(i).unicode() : char16_t(0);
        diff |= unsigned(expected.at(i).unicode() ^ g);
    }
    return diff == 0;
}

PasswordCheck CheckAdminPassword(const QString &typed)
{
    TDataSet &table = passwordTable();
    table.Open();
    ClosePasswordTable closer(table);
    if (table.IsEmpty())
        return PasswordCheck::NoneStored;
    table.First();
    // Compared in stored form: the plain password is never rebuilt from the table, and a
    // damaged stored text matches nothing.
    QString scrambled;
    ScrambleHex(typed, scrambled);
    return SameSecret(table.FieldByName(PasswordField).AsString(), scrambled)
               ? PasswordCheck::Match
               : PasswordCheck::Mismatch;
}

void StoreAdminPassword(const QString &password)
{
    TDataSet &table = passwordTable();
    table.Open();
    ClosePasswordTable closer(table);
    QString scrambled;
    ScrambleHex(password, scrambled);
    try {
        if (table.IsEmpty()) {
            table.Append();
        } else {
            table.First();
            table.Edit();
        }
        table.FieldByName(PasswordField).SetAsString(scrambled);
        table.Post();
    } catch (...) {
        if (table.State() == TDataSetState::Edit || table.State() == TDataSetState::Insert)
            table.Cancel();
        throw;
    }
}
