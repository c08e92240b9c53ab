// Every QObject class of the program carries its own meta-object, so that qobject_cast and
// findChild<T *> tell it from its base: without one a class answers to its base's name and
// any object of the base casts to it.

#include "capture/DXCapture.h"
#include "desk/about.h"
#include "desk/autoio.h"
#include "desk/clock.h"
#include "desk/delrecs.h"
#include "desk/deskcore.h"
#include "desk/emailqueue.h"
#include "desk/emailset.h"
#include "desk/grpdef.h"
#include "desk/grplist.h"
#include "desk/loggridmodel.h"
#include "desk/passwd.h"
#include "desk/passwdnew.h"
#include "desk/speech.h"
#include "desk/speechengine.h"
#include "desk/timerec.h"
#include "desk/timetbl.h"
#include "desk/trayicon.h"
#include "readerlink/reader.h"
#include "readerlink/serialport.h"
#include "reports/repfilo.h"
#include "store/datasetmodel.h"
#include "store/glyphs.h"
#include "store/lighttimer.h"
#include "store/pgbar.h"
#include "store/radiogroup.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QDirIterator>
#include <QFile>
#include <QGroupBox>
#include <QMainWindow>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QStyledItemDelegate>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct Case
{
    const char *name;
    const QMetaObject *meta;
    const QMetaObject *base;
    bool (*castsFromBase)(QObject *); // whether a mere base object casts to the class
};

template <typename T, typename Base> Case of(const char *name)
{
    return {name, &T::staticMetaObject, &Base::staticMetaObject,
            [](QObject *o) { return qobject_cast<T *>(o) != nullptr; }};
}

TEST(MetaObjects, EachQObjectClassHasItsOwn)
{
    const Case cases[] = {
        of<TEmailQueue, QObject>("TEmailQueue"),
        of<TTimeRec, QMainWindow>("TTimeRec"),
        of<TSetEmail, QDialog>("TSetEmail"),
        of<TDataSetModel, QAbstractTableModel>("TDataSetModel"),
        of<LogGridModel, TDataSetModel>("LogGridModel"),
        of<TDlgGrpDef, QDialog>("TDlgGrpDef"),
        of<TDlgGrpList, QDialog>("TDlgGrpList"),
        of<TClock, QObject>("TClock"),
        of<TDlgNewPass, QDialog>("TDlgNewPass"),
        of<Taboutbox, QDialog>("Taboutbox"),
        of<TPasswordDlg, QDialog>("TPasswordDlg"),
        of<TTrayIcon, QObject>("TTrayIcon"),
        of<TDlgSpeech, QDialog>("TDlgSpeech"),
        of<TRecDel, QDialog>("TRecDel"),
        of<TLightTimerHandler, QObject>("TLightTimerHandler"),
        of<TCustomSerialPort, QObject>("TCustomSerialPort"),
        of<TRfidReader, TCustomSerialPort>("TRfidReader"),
        of<TDeskCore, QObject>("TDeskCore"),
        of<SpeechWorker, QObject>("SpeechWorker"),
        of<Tpbar, QWidget>("Tpbar"),
        of<TGlyphDelegate, QStyledItemDelegate>("TGlyphDelegate"),
        of<TRadioGroup, QGroupBox>("TRadioGroup"),
        of<TCapture, QWidget>("TCapture"),
        of<TTimeWindowForm, QDialog>("TTimeWindowForm"),
        of<TFmTimeTbl, TTimeWindowForm>("TFmTimeTbl"),
        of<TAutoIO, TTimeWindowForm>("TAutoIO"),
        of<Tqrfilo, TReportForm>("Tqrfilo"),
    };
    QObject plainObject;
    QWidget plainWidget;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_STREQ(c.meta->className(), c.name);
        EXPECT_EQ(c.meta->superClass(), c.base);
        EXPECT_FALSE(c.castsFromBase(&plainObject));
        EXPECT_FALSE(c.castsFromBase(&plainWidget));
    }
}

// ---- Every class of the sources, read from the files ---------------------------------------

// The Qt classes the program derives from, by whether they are QObjects. A Qt base that is in
// neither list fails the scan, so a new one is classified once instead of slipping through.
const QSet<QString> QtObjectBases = {
    QStringLiteral("QObject"),
    QStringLiteral("QWidget"),
    QStringLiteral("QDialog"),
    QStringLiteral("QMainWindow"),
    QStringLiteral("QGroupBox"),
    QStringLiteral("QAbstractTableModel"),
    QStringLiteral("QAbstractItemModel"),
    QStringLiteral("QStyledItemDelegate"),
    QStringLiteral("QThread"),
    QStringLiteral("QTimer"),
    QStringLiteral("QLabel"),
    QStringLiteral("QFrame"),
    QStringLiteral("QTableView"),
    QStringLiteral("QSystemTrayIcon"),
    QStringLiteral("QIODevice"),
    QStringLiteral("QTcpServer"),
};
const QSet<QString> QtPlainBases = {
    QStringLiteral("QSharedData"),
    QStringLiteral("QRunnable"),
    QStringLiteral("QEvent"),
};

struct ScannedClass
{
    QString file;
    QStringList bases;
    bool hasQObjectMacro = false;
};

// The text without comments, string literals and character literals, so that neither a
// commented-out class nor a "class X : Y" in a string is taken for code.
QString codeOnly(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const QChar next = i + 1 < text.size() ? text[i + 1] : QChar();
        if (c == u'/' && next == u'/') {
            while (i < text.size() && text[i] != u'\n')
                ++i;
            out += u'\n';
        } else if (c == u'/' && next == u'*') {
            i += 2;
            while (i + 1 < text.size() && !(text[i] == u'*' && text[i + 1] == u'/'))
                ++i;
            ++i;
            out += u' ';
        } else if (c == u'"' || c == u'\'') {
            // Raw strings are not used in the sources.
            ++i;
            while (i < text.size() && text[i] != c) {
                if (text[i] == u'\\')
                    ++i;
                ++i;
            }
            out += u' ';
        } else {
            out += c;
        }
    }
    return out;
}

// Every class or struct defined with a base list in the sources, by name.
QMap<QString, ScannedClass> scanSources(const QString &root)
{
    static const QRegularExpression head(QStringLiteral(
        "\\b(?:class|struct)\\s+(\\w+(?:::\\w+)*)(?:\\s+final)?\\s*:(?!:)\\s*([^{;()]+)\\{"));
    static const QRegularExpression access(
        QStringLiteral("\\b(public|protected|private|virtual)\\b"));
    QMap<QString, ScannedClass> classes;
    QDirIterator files(root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString code = codeOnly(QString::fromUtf8(f.readAll()));
        auto matches = head.globalMatch(code);
        while (matches.hasNext()) {
            const QRegularExpressionMatch m = matches.next();
            ScannedClass c;
            c.file = QDir(root).relativeFilePath(path);
            for (QString base : m.captured(2).split(u',')) {
                base.remove(access);
                base = base.trimmed();
                base = base.left(base.indexOf(u'<') < 0 ? base.size() : base.indexOf(u'<'));
                base = base.mid(base.lastIndexOf(QStringLiteral("::")) + 1).trimmed();
                if (base.startsWith(u':'))
                    base.remove(0, 1);
                if (!base.isEmpty())
                    c.bases << base;
            }
            // Q_OBJECT in the class's own body, not in a class nested inside it.
            int depth = 0;
            for (qsizetype i = m.capturedEnd(0) - 1; i < code.size(); ++i) {
                if (code[i] == u'{') {
                    ++depth;
                } else if (code[i] == u'}') {
                    if (--depth == 0)
                        break;
                } else if (depth == 1 && code.mid(i, 8) == QStringLiteral("Q_OBJECT") &&
                           (i + 8 >= code.size() || !code[i + 8].isLetterOrNumber())) {
                    c.hasQObjectMacro = true;
                }
            }
            // A class defined outside its enclosing one ("class A::B : C") goes by its own name.
            const QString name = m.captured(1);
            classes.insert(name.mid(name.lastIndexOf(u':') + 1), c);
        }
    }
    return classes;
}

TEST(MetaObjects, EveryQObjectClassOfTheSourcesDeclaresQObject)
{
    const QMap<QString, ScannedClass> classes =
        scanSources(QStringLiteral(TALLYCLOCK_SOURCE_DIR "/src"));
    ASSERT_TRUE(classes.contains(QStringLiteral("TTimeRec"))) << "the sources were not read";
    const std::function<bool(const QString &, int)> isQObject = [&](const QString &name,
                                                                    int depth) -> bool {
        if (QtObjectBases.contains(name))
            return true;
        if (QtPlainBases.contains(name) || depth > 20)
            return false;
        const auto found = classes.constFind(name);
        if (found == classes.constEnd()) {
            // A Qt class must be classified above; anything else is no QObject of ours.
            EXPECT_FALSE(name.size() > 1 && name[0] == u'Q' && name[1].isUpper())
                << "Qt base not classified: " << name.toStdString();
            return false;
        }
        for (const QString &base : found->bases)
            if (isQObject(base, depth + 1))
                return true;
        return false;
    };
    QStringList qobjects;
    QStringList missing;
    for (auto it = classes.constBegin(); it != classes.constEnd(); ++it) {
        if (!isQObject(it.key(), 0))
            continue;
        qobjects << it.key();
        if (!it->hasQObjectMacro)
            missing << it.key() + QStringLiteral(" (") + it->file + u')';
    }
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QStringLiteral(", ")).toStdString();
    // The scan sees the classes it should: a report form among them.
    for (const char *known : {"TTimeRec", "TRfidReader", "TReportForm", "Tqrfilo"})
        EXPECT_TRUE(qobjects.contains(QString::fromLatin1(known))) << known;
}

} // namespace
