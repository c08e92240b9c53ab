#include "store/passwd.h"

#include "store/datasrc.h"

#include <QByteArray>

void ScrambleHex(const QString &text, QString &result)
{
    // UTF-8 keeps every password whole: two stored digits per byte, and each byte is 0..255.
    const QByteArray bytes = text.toUtf8();
    QString out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        out += QLatin1Char(ScrambleWriteTable[c >> 4]);
        out += QLatin1Char(ScrambleWriteTable[c & 15]);
    }
    result = out;
}

void UnscrambleHex(const QString &stored, QString &result)
{
    // Masking to 0..15 keeps a damaged stored text from reading outside the table.
    auto decode = [](QChar c) {
        return HexCharValue(QLatin1Char(ScrambleReadTable[HexCharValue(c) & 15])) & 15;
    };
    QByteArray bytes;
    bytes.reserve(stored.size() / 2);
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2)
        bytes += char(decode(stored.at(i)) * 16 + decode(stored.at(i + 1)));
    result = QString::fromUtf8(bytes);
}

int HexCharValue(QChar c)
{
    const int code = c.unicode();
    return code < 'A' ? code - '0' : code - 55;
}

bool IsPasswordEmpty()
{
    if (!dsrc)
        throw EDatabaseError(QStringLiteral("The data module is not created"));
    TDataSet &table = dsrc->pwdtbl;
    const bool wasOpen = table.Active();
    if (!wasOpen)
        table.Open();
    const bool empty = table.IsEmpty();
    if (!wasOpen)
        table.Close();
    return empty;
}
