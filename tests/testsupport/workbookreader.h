#pragma once
// Reads a written .xlsx back with a real reader (openpyxl under /usr/bin/python3) for tests.
// Each cell comes back as one text saying its type and value: "s:text" for text, "n:42" for a
// number, "d:2026-06-15" for a date cell, "t:08:30:00" for a time-of-day cell, "" for none;
// rows are cut after their last cell holding something. Main thread only.

#include <QList>
#include <QString>
#include <QStringList>
#include <initializer_list>

struct TSheetRows
{
    QString name;
    QList<QStringList> rows;
    QStringList numberFormats; // of the cells of the second row (the first below a header)
};

// Rows written in tests as lists of UTF-8 literals.
QStringList Texts(std::initializer_list<const char *> items);

// The sheets in order; an empty list (and a failed test) when the file could not be read.
QList<TSheetRows> ReadWorkbook(const QString &path);
