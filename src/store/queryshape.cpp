#include "store/queryshape.h"

namespace {

// ---- a small tokenizer, enough to tell a plain one-table query from anything else ----

struct Token
{
    enum Type
    {
        Word,   // identifier or keyword (text upper-cased)
        Quoted, // "id", [id], `id` (text unquoted)
        String,
        Number,
        Param,
        Punct,
    };
    Type type;
    QString text;
    int begin;
    int end;
    int depth;
};

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') ||
           c.unicode() > 127;
}

std::vector<Token> tokenize(const QString &sql)
{
    std::vector<Token> tokens;
    int depth = 0;
    const int n = static_cast<int>(sql.size());
    int i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            while (i < n && sql.at(i) != QLatin1Char('\n'))
                ++i;
            continue;
        }
        if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const int close = sql.indexOf(QLatin1String("*/"), i + 2);
            i = close < 0 ? n : close + 2;
            continue;
        }
        const int begin = i;
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`') ||
            c == QLatin1Char('[')) {
            const QChar closing = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            QString text;
            ++i;
            while (i < n) {
                if (sql.at(i) == closing) {
                    if (closing != QLatin1Char(']') && i + 1 < n && sql.at(i + 1) == closing) {
                        text += closing;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += sql.at(i++);
            }
            tokens.push_back(
                {c == QLatin1Char('\'') ? Token::String : Token::Quoted, text, begin, i, depth});
            continue;
        }
        if (c == QLatin1Char('?') || c == QLatin1Char(':') || c == QLatin1Char('@') ||
            (c == QLatin1Char('$') && i + 1 < n && isWordChar(sql.at(i + 1)))) {
            ++i;
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            tokens.push_back({Token::Param, sql.mid(begin, i - begin), begin, i, depth});
            continue;
        }
        if (c.isDigit()) {
            while (i < n && (sql.at(i).isLetterOrNumber() || sql.at(i) == QLatin1Char('.')))
                ++i;
            tokens.push_back({Token::Number, sql.mid(begin, i - begin), begin, i, depth});
            continue;
        }
        if (isWordChar(c)) {
            while (i < n && isWordChar(sql.at(i)))
                ++i;
            tokens.push_back({Token::Word, sql.mid(begin, i - begin).toUpper(), begin, i, depth});
            continue;
        }
        if (c == QLatin1Char(')'))
            --depth;
        tokens.push_back({Token::Punct, QString(c), begin, i + 1, depth});
        if (c == QLatin1Char('('))
            ++depth;
        ++i;
    }
    return tokens;
}

bool isName(const Token &t)
{
    return t.type == Token::Word || t.type == Token::Quoted;
}

bool isPunct(const Token &t, char c)
{
    return t.type == Token::Punct && t.text == QLatin1Char(c);
}

bool isWord(const Token &t, const char *word)
{
    return t.type == Token::Word && t.text == QLatin1String(word);
}

} // namespace

QueryShape AnalyseQuery(const QString &sql)
{
    QueryShape shape;
    const std::vector<Token> t = tokenize(sql);
    if (t.empty() || !isWord(t[0], "SELECT"))
        return shape;
    std::size_t from = 0;
    for (std::size_t i = 1; i < t.size(); ++i) {
        if (t[i].depth == 0 && isWord(t[i], "FROM")) {
            from = i;
            break;
        }
    }
    if (from < 2 || from + 1 >= t.size() || !isName(t[from + 1]))
        return shape;
    const Token &tableToken = t[from + 1];
    const QString table = tableToken.type == Token::Word
                              ? sql.mid(tableToken.begin, tableToken.end - tableToken.begin)
                              : tableToken.text;
    auto sameTable = [&](const Token &q) {
        return q.text.compare(table, Qt::CaseInsensitive) == 0;
    };

    // The select list: "*", "table.*", "column", "table.column".
    if (isWord(t[1], "DISTINCT") || isWord(t[1], "ALL"))
        return shape;
    std::vector<std::vector<Token>> items(1);
    for (std::size_t i = 1; i < from; ++i) {
        if (t[i].depth == 0 && isPunct(t[i], ','))
            items.emplace_back();
        else
            items.back().push_back(t[i]);
    }
    for (const auto &item : items) {
        const bool star = item.size() == 1 && isPunct(item[0], '*');
        const bool column = item.size() == 1 && isName(item[0]);
        const bool qualified = item.size() == 3 && isName(item[0]) && sameTable(item[0]) &&
                               isPunct(item[1], '.') && (isName(item[2]) || isPunct(item[2], '*'));
        if (!star && !column && !qualified)
            return shape;
    }

    // After the table: nothing, or WHERE / ORDER BY / LIMIT of this one table.
    std::size_t i = from + 2;
    if (i < t.size() && !isWord(t[i], "WHERE") && !isWord(t[i], "ORDER") &&
        !isWord(t[i], "LIMIT") && !isPunct(t[i], ';'))
        return shape;
    int whereBegin = -1, whereEnd = -1, orderBegin = -1, orderEnd = -1;
    std::size_t orderFirst = 0, orderLast = 0;
    for (; i < t.size(); ++i) {
        const Token &k = t[i];
        if (k.depth != 0)
            continue;
        if (isWord(k, "GROUP") || isWord(k, "HAVING") || isWord(k, "UNION") ||
            isWord(k, "INTERSECT") || isWord(k, "EXCEPT") || isWord(k, "WINDOW") ||
            isWord(k, "JOIN"))
            return shape;
        if (isWord(k, "WHERE")) {
            whereBegin = k.end;
        } else if (isWord(k, "ORDER") && i + 1 < t.size() && isWord(t[i + 1], "BY")) {
            if (whereBegin >= 0 && whereEnd < 0)
                whereEnd = k.begin;
            orderBegin = t[i + 1].end;
            orderFirst = i + 2;
            ++i;
        } else if (isWord(k, "LIMIT") || isPunct(k, ';')) {
            if (whereBegin >= 0 && whereEnd < 0)
                whereEnd = k.begin;
            if (orderBegin >= 0 && orderEnd < 0) {
                orderEnd = k.begin;
                orderLast = i;
            }
        }
    }
    if (whereBegin >= 0 && whereEnd < 0)
        whereEnd = static_cast<int>(sql.size());
    if (orderBegin >= 0 && orderEnd < 0) {
        orderEnd = static_cast<int>(sql.size());
        orderLast = t.size();
    }

    shape.simple = true;
    shape.table = table;
    shape.selectList = sql.mid(t[1].begin, t[from].begin - t[1].begin).trimmed();
    shape.tail = sql.mid(t[from + 1].begin).trimmed();
    while (shape.tail.endsWith(QLatin1Char(';')))
        shape.tail.chop(1);
    if (whereBegin >= 0)
        shape.where = sql.mid(whereBegin, whereEnd - whereBegin).trimmed();
    if (orderBegin >= 0)
        shape.orderBy = sql.mid(orderBegin, orderEnd - orderBegin).trimmed();

    // ORDER BY terms the dataset can compare itself: plain columns, ASC or DESC.
    shape.orderKnown = true;
    std::vector<Token> term;
    auto takeTerm = [&]() {
        bool desc = false;
        if (!term.empty() && (isWord(term.back(), "ASC") || isWord(term.back(), "DESC"))) {
            desc = isWord(term.back(), "DESC");
            term.pop_back();
        }
        if (term.size() == 1 && isName(term[0]))
            shape.order.push_back({term[0].text, desc});
        else if (term.size() == 3 && isName(term[0]) && sameTable(term[0]) &&
                 isPunct(term[1], '.') && isName(term[2]))
            shape.order.push_back({term[2].text, desc});
        else
            shape.orderKnown = false;
        term.clear();
    };
    if (orderBegin >= 0) {
        for (std::size_t k = orderFirst; k < orderLast; ++k) {
            if (t[k].depth == 0 && isPunct(t[k], ','))
                takeTerm();
            else
                term.push_back(t[k]);
        }
        takeTerm();
    }
    return shape;
}
