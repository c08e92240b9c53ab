#pragma once
// What a dataset's query looks like: one table with plain columns (read through a keyset
// cursor and written back), or anything else (read once, read-only), with its table, select
// list, condition and order. Only a small tokenizer, enough to tell the two apart. Pure, any
// thread.

#include <QString>
#include <vector>

struct OrderTerm
{
    QString column; // as named in the table
    bool desc = false;
};

// What a query looks like to the dataset.
struct QueryShape
{
    bool simple = false; // one table, plain columns: keyset cursor, writable
    QString table;
    QString selectList;
    QString tail;    // from the table name to the end
    QString where;   // condition text, empty when none
    QString orderBy; // text after ORDER BY, empty when none
    bool orderKnown = false;
    std::vector<OrderTerm> order;
};

// An unknown or complex query comes back with simple false.
QueryShape AnalyseQuery(const QString &sql);
