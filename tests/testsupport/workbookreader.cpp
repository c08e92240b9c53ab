#include "testsupport/workbookreader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// The reader prints one JSON document: [{"name", "rows": [[cell...]...], "formats"}].
constexpr char ReaderScript[] = R"(
import sys, json, datetime, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
out = []
for ws in wb.worksheets:
    rows = []
    formats = []
    for i, r in enumerate(ws.iter_rows()):
        row = []
        for c in r:
            v = c.value
            if v is None:
                row.append("")
            elif isinstance(v, datetime.datetime):
                row.append("d:" + v.date().isoformat() + ("" if v.time() == datetime.time(0) else "T" + v.time().isoformat()))
            elif isinstance(v, datetime.time):
                row.append("t:" + v.isoformat())
            elif isinstance(v, bool):
                row.append("b:" + str(v))
            elif isinstance(v, (int, float)):
                row.append("n:" + (str(int(v)) if float(v).is_integer() else repr(v)))
            else:
                row.append("s:" + str(v))
            if i == 1:
                formats.append(c.number_format)
        while row and row[-1] == "":
            row.pop()
        rows.append(row)
    out.append({"name": ws.title, "rows": rows, "formats": formats})
print(json.dumps(out))
)";

} // namespace

QStringList Texts(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << QString::fromUtf8(item);
    return list;
}

QList<TSheetRows> ReadWorkbook(const QString &path)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"), QString::fromUtf8(ReaderScript), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        ADD_FAILURE() << "openpyxl could not read " << path.toStdString() << ": "
                      << python.readAllStandardError().toStdString();
        return {};
    }
    QList<TSheetRows> sheets;
    const QJsonArray all = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    for (const QJsonValue &sheetValue : all) {
        const QJsonObject sheet = sheetValue.toObject();
        TSheetRows rows;
        rows.name = sheet.value(QStringLiteral("name")).toString();
        for (const QJsonValue &rowValue : sheet.value(QStringLiteral("rows")).toArray()) {
            QStringList row;
            for (const QJsonValue &cell : rowValue.toArray())
                row << cell.toString();
            rows.rows << row;
        }
        for (const QJsonValue &f : sheet.value(QStringLiteral("formats")).toArray())
            rows.numberFormats << f.toString();
        sheets << rows;
    }
    return sheets;
}
