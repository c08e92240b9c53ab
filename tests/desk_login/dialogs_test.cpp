// The password dialog, the new-password dialog and the about box on their own.

#include "loginfixture.h"
#include "testsupport/childlookup.h"

#include <QRegularExpression>

namespace {

void expectPasswordField(QWidget &dialog, const char *name)
{
    QLineEdit *edit = Child<QLineEdit>(dialog, name);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password) << name;
    EXPECT_TRUE(edit->styleSheet().contains(QStringLiteral("lineedit-password-character: 42")))
        << name;
}

class PasswordDialogsTest : public LoginTest
{
};

TEST_F(PasswordDialogsTest, PasswordDialogShowsItsTexts)
{
    TPasswordDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Password Dialog"));
    EXPECT_EQ(Child<QLabel>(dialog, "Label1")->text(), QStringLiteral("Enter Password:"));
    expectPasswordField(dialog, "Password");
    EXPECT_EQ(Child<QPushButton>(dialog, "OKBtn")->text(), QStringLiteral("OK"));
    EXPECT_TRUE(Child<QPushButton>(dialog, "OKBtn")->isDefault());
    EXPECT_EQ(Child<QPushButton>(dialog, "CancelBtn")->text(), QStringLiteral("Cancel"));
}

TEST_F(PasswordDialogsTest, NewPasswordDialogShowsItsTexts)
{
    TDlgNewPass dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Password Dialog"));
    EXPECT_EQ(Child<QLabel>(dialog, "Label1")->text(), QStringLiteral("New password:"));
    EXPECT_EQ(Child<QLabel>(dialog, "Label2")->text(), QStringLiteral("Retype password:"));
    expectPasswordField(dialog, "Password");
    expectPasswordField(dialog, "ReType");
    EXPECT_TRUE(Child<QPushButton>(dialog, "OKBtn")->isDefault());
    EXPECT_EQ(Child<QPushButton>(dialog, "CancelBtn")->text(), QStringLiteral("Cancel"));
}

TEST_F(PasswordDialogsTest, WrongPasswordKeepsTheDialogOpenUntilTheRightOne)
{
    StorePasswordRow(QStringLiteral("EF9E9F579E50")); // "Secret"
    TPasswordDlg dialog;
    dialog.show();
    QLineEdit *edit = Child<QLineEdit>(dialog, "Password");
    for (const char *wrong : {"secret", "SECRET", "Secre", ""}) {
        Messages().Clear();
        edit->setText(QString::fromLatin1(wrong));
        Child<QPushButton>(dialog, "OKBtn")->click();
        EXPECT_TRUE(dialog.isVisible()) << wrong;
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << wrong;
        ASSERT_EQ(Messages().Count(), 1) << wrong;
        EXPECT_EQ(Messages().Last().text, QStringLiteral("Password incorrect."));
        EXPECT_EQ(Messages().Last().kind, MsgKind::Error);
        EXPECT_EQ(dialog.focusWidget(), edit) << wrong;
    }
    Messages().Clear();
    edit->setText(QStringLiteral("Secret"));
    Child<QPushButton>(dialog, "OKBtn")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(Messages().Count(), 0);
    EXPECT_EQ(StoredPasswords(), QStringList{QStringLiteral("EF9E9F579E50")});
}

TEST_F(PasswordDialogsTest, PasswordDialogCancelClosesWithCancel)
{
    StorePasswordRow(QStringLiteral("EF9E9F579E50"));
    TPasswordDlg dialog;
    dialog.show();
    Child<QLineEdit>(dialog, "Password")->setText(QStringLiteral("Secret"));
    Child<QPushButton>(dialog, "CancelBtn")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(Messages().Count(), 0);
}

TEST_F(PasswordDialogsTest, UnreadablePasswordTableLetsNobodyIn)
{
    dsrc->src.Exec(QStringLiteral("drop table passwd"));
    TPasswordDlg dialog;
    dialog.show();
    Child<QLineEdit>(dialog, "Password")->setText(QString());
    Child<QPushButton>(dialog, "OKBtn")->click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    ASSERT_EQ(Messages().Count(), 1);
    EXPECT_EQ(Messages().Last().text, QStringLiteral("Database Error."));
}

TEST_F(PasswordDialogsTest, NewPasswordEntriesMustAgree)
{
    struct Case
    {
        const char *password;
        const char *retype;
        bool accepted;
    };
    const Case cases[] = {
        {"Ab1", "Ab1", true}, {"", "", true},     {"Ab1", "ab1", false},
        {"Ab1", "Ab", false}, {"", "Ab1", false}, {"Ab1", "", false},
    };
    for (const Case &c : cases) {
        Messages().Clear();
        TDlgNewPass dialog;
        dialog.show();
        QLineEdit *password = Child<QLineEdit>(dialog, "Password");
        password->setText(QString::fromLatin1(c.password));
        Child<QLineEdit>(dialog, "ReType")->setText(QString::fromLatin1(c.retype));
        Child<QLineEdit>(dialog, "ReType")->setFocus();
        Child<QPushButton>(dialog, "OKBtn")->click();
        const std::string name = std::string(c.password) + " / " + c.retype;
        EXPECT_EQ(dialog.isVisible(), !c.accepted) << name;
        EXPECT_EQ(dialog.result(), c.accepted ? QDialog::Accepted : QDialog::Rejected) << name;
        if (c.accepted) {
            EXPECT_EQ(Messages().Count(), 0) << name;
            EXPECT_EQ(dialog.NewPassword(), QString::fromLatin1(c.password)) << name;
        } else {
            ASSERT_EQ(Messages().Count(), 1) << name;
            EXPECT_EQ(Messages().Last().text,
                      QStringLiteral("Password inconsistant. Please re-enter it."));
            EXPECT_EQ(Messages().Last().kind, MsgKind::Plain);
            EXPECT_EQ(dialog.focusWidget(), password) << name;
        }
    }
    EXPECT_TRUE(StoredPasswords().isEmpty()); // the dialog stores nothing itself
}

TEST_F(PasswordDialogsTest, AboutBoxNamesTheProgramItsVersionAndPurpose)
{
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+$"))
                    .match(ProgramVersion())
                    .hasMatch())
        << ProgramVersion().toStdString();
    Taboutbox about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tallyclock"));
    EXPECT_EQ(Child<QLabel>(about, "ProductName")->text(), QStringLiteral("Tallyclock"));
    EXPECT_EQ(Child<QLabel>(about, "Version")->text(),
              QStringLiteral("Version ") + ProgramVersion());
    EXPECT_TRUE(Child<QLabel>(about, "Comments")->text().contains(QStringLiteral("card readers")));
    EXPECT_FALSE(Child<QLabel>(about, "ProgramIcon")->pixmap().isNull());
    about.show();
    Child<QPushButton>(about, "OKButton")->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

} // namespace
