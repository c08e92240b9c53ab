#pragma once
// The administrator password of the desk, kept as the one row of table passwd (`dsrc->pwdtbl`)
// in its scrambled form: checking a typed password and registering a new one. The password
// goes nowhere else: no log, no setting, no status text. Main thread only (uses `dsrc`).

#include <QString>

enum class PasswordCheck
{
    Match,
    Mismatch,
    NoneStored, // passwd holds no row
};

// Compares the typed text, letter case included, with the stored password. Opens pwdtbl and
// closes it again; a database failure raises EDatabaseError.
PasswordCheck CheckAdminPassword(const QString &typed);

// Registers the password: edits the row of passwd when there is one, else appends it. A
// database failure cancels the pending change and raises EDatabaseError. pwdtbl is closed
// afterwards in every case.
void StoreAdminPassword(const QString &password);

// Whether two texts are equal, taking a time that depends on the expected text's length only:
// a wrong guess learns nothing from how far it matched.
bool SameSecret(const QString &expected, const QString &given);
