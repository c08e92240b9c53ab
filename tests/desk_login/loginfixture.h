#pragma once
// A main window over a fresh data folder whose dialogs are answered by a script: each dialog
// the window opens is shown, typed into and confirmed as the next scripted answer says, and
// what it looked like is kept for the test.

#include "desk/about.h"
#include "desk/passwd.h"
#include "desk/passwdnew.h"
#include "desk_window/windowfixture.h"
#include "testsupport/childlookup.h"

#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QQueue>
#include <QStringList>
#include <gtest/gtest.h>

// One scripted answer: each attempt types its texts into the fields "Password" and (when
// given) "ReType" and presses OK; a dialog still open after the last attempt gets Cancel.
struct DialogAnswer
{
    QList<QStringList> attempts;
};

inline DialogAnswer Typed(const QString &password)
{
    return {{{password}}};
}
inline DialogAnswer TypedTwice(const QString &password, const QString &retype)
{
    return {{{password, retype}}};
}
inline DialogAnswer Cancelled()
{
    return {};
}

// What a dialog was and how it went.
struct SeenDialog
{
    QString kind; // "password", "newpass", "about" or "other"
    QString title;
    QList<bool> openAfterOk; // visibility after each OK press
    int result = 0;
    bool wordWrap = false; // about box: its texts wrap
};

class DialogScript
{
public:
    void Add(const DialogAnswer &answer) { m_answers.enqueue(answer); }
    const QList<SeenDialog> &Seen() const { return m_seen; }
    int Pending() const { return int(m_answers.size()); }

    TTimeRec::DialogRunner Runner()
    {
        return [this](QDialog &dialog) { return answer(dialog); };
    }

private:
    static QString kindOf(QDialog &dialog)
    {
        if (dynamic_cast<TPasswordDlg *>(&dialog))
            return QStringLiteral("password");
        if (dynamic_cast<TDlgNewPass *>(&dialog))
            return QStringLiteral("newpass");
        if (dynamic_cast<Taboutbox *>(&dialog))
            return QStringLiteral("about");
        return QStringLiteral("other");
    }

    int answer(QDialog &dialog)
    {
        SeenDialog seen{kindOf(dialog), dialog.windowTitle(), {}, 0, false};
        dialog.show();
        if (seen.kind == QStringLiteral("about")) {
            auto *comments = dialog.findChild<QLabel *>(QStringLiteral("Comments"));
            seen.wordWrap = comments && comments->wordWrap();
            Press(dialog, "OKButton");
        } else if (m_answers.isEmpty()) {
            ADD_FAILURE() << "unexpected dialog: " << seen.title.toStdString();
            dialog.reject();
        } else {
            const DialogAnswer next = m_answers.dequeue();
            for (const QStringList &texts : next.attempts) {
                const char *fields[] = {"Password", "ReType"};
                for (int i = 0; i < texts.size() && i < 2; ++i) {
                    auto *edit = dialog.findChild<QLineEdit *>(QString::fromLatin1(fields[i]));
                    EXPECT_NE(edit, nullptr) << fields[i];
                    if (edit)
                        edit->setText(texts.at(i));
                }
                Press(dialog, "OKBtn");
                seen.openAfterOk << dialog.isVisible();
                if (!dialog.isVisible())
                    break;
            }
            if (dialog.isVisible())
                Press(dialog, "CancelBtn");
        }
        seen.result = dialog.result();
        m_seen << seen;
        return dialog.result();
    }

    QQueue<DialogAnswer> m_answers;
    QList<SeenDialog> m_seen;
};

class LoginTest : public WindowTest
{
protected:
    TTimeRec &OpenScriptedWindow()
    {
        TTimeRec &w = OpenWindow();
        w.SetDialogRunner(m_script.Runner());
        return w;
    }
    DialogScript &Script() { return m_script; }

    // The rows of table passwd as stored, straight from the file's connection.
    static QStringList StoredPasswords()
    {
        QStringList rows;
        TStatement st = dsrc->src.Prepare(QStringLiteral("select PASSWORD from passwd"));
        while (st.Step())
            rows << (st.ColumnIsNull(0) ? QStringLiteral("<null>") : st.ColumnText(0));
        return rows;
    }
    static void StorePasswordRow(const QString &scrambled)
    {
        TStatement st = dsrc->src.Prepare(QStringLiteral("insert into passwd values (?)"));
        st.Bind(1, scrambled);
        st.Step();
    }

    DialogScript m_script;
};
