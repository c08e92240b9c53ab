#pragma once
// The administrator password's stored form: every byte of the password (its UTF-8 form, so
// one byte per character for plain ASCII) becomes two hexadecimal digits passed through a
// fixed substitution. Any thread, except IsPasswordEmpty (main thread, uses dsrc).

#include <QString>

// Hex digit substitution used when writing, and its inverse used when reading.
inline constexpr char ScrambleWriteTable[] = "3B7F0E95A1C2D648";
inline constexpr char ScrambleReadTable[] = "49B0E7D2F681AC53";

void ScrambleHex(const QString &text, QString &result);
// An odd last character is ignored; characters other than upper-case hex digits decode to
// something that never matches a typed password.
void UnscrambleHex(const QString &stored, QString &result);
// Value of an upper-case hex digit: below "A" its code minus that of "0", else its code - 55.
int HexCharValue(QChar c);
// True when table passwd holds no row (a row holding the empty text is a registered, empty
// password). Leaves the table's dataset open or closed as it found it.
bool IsPasswordEmpty();
