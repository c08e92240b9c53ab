// Checking and storing the administrator password in table passwd, without a window.

#include "desk/login.h"
#include "loginfixture.h"
#include "store/passwd.h"

namespace {

class PasswordStoreTest : public LoginTest
{
};

TEST_F(PasswordStoreTest, NothingStoredMatchesNothing)
{
    for (const QString &typed : {QString(), QStringLiteral("Ab1")})
        EXPECT_EQ(CheckAdminPassword(typed), PasswordCheck::NoneStored) << typed.toStdString();
    EXPECT_FALSE(dsrc->pwdtbl.Active());
}

TEST_F(PasswordStoreTest, StoringWritesOneScrambledRowAndOverwritesIt)
{
    StoreAdminPassword(QStringLiteral("Ab1"));
    EXPECT_EQ(StoredPasswords(), QStringList{QStringLiteral("0B97FB")});
    EXPECT_FALSE(dsrc->pwdtbl.Active());

    StoreAdminPassword(QStringLiteral("Zz9"));
    EXPECT_EQ(StoredPasswords(), QStringList{QStringLiteral("EC5CF1")});
    EXPECT_FALSE(dsrc->pwdtbl.Active());
}

TEST_F(PasswordStoreTest, TypedTextMustMatchExactly)
{
    StorePasswordRow(QStringLiteral("EF9E9F579E50")); // "Secret"
    struct Case
    {
        const char *typed;
        PasswordCheck expected;
    };
    const Case cases[] = {
        {"Secret", PasswordCheck::Match},     {"secret", PasswordCheck::Mismatch},
        {"SECRET", PasswordCheck::Mismatch},  {"Secre", PasswordCheck::Mismatch},
        {"Secrets", PasswordCheck::Mismatch}, {"Secret ", PasswordCheck::Mismatch},
        {"", PasswordCheck::Mismatch},        {"Xecret", PasswordCheck::Mismatch},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CheckAdminPassword(QString::fromLatin1(c.typed)), c.expected) << c.typed;
    EXPECT_FALSE(dsrc->pwdtbl.Active());
}

TEST_F(PasswordStoreTest, EmptyPasswordIsARegisteredPassword)
{
    StoreAdminPassword(QString());
    EXPECT_EQ(StoredPasswords().size(), 1);
    EXPECT_FALSE(IsPasswordEmpty());
    EXPECT_EQ(CheckAdminPassword(QString()), PasswordCheck::Match);
    EXPECT_EQ(CheckAdminPassword(QStringLiteral(" ")), PasswordCheck::Mismatch);
}

TEST_F(PasswordStoreTest, DamagedStoredTextMatchesNothing)
{
    // Lower-case digits and an odd length are not written by the program; nothing typed gets
    // through them.
    for (const char *stored : {"0b97fb", "0B97FB3", "0B97F", "ZZZZ"}) {
        dsrc->src.Exec(QStringLiteral("delete from passwd"));
        StorePasswordRow(QString::fromLatin1(stored));
        for (const char *typed : {"Ab1", "Ab", "", "?"})
            EXPECT_EQ(CheckAdminPassword(QString::fromLatin1(typed)), PasswordCheck::Mismatch)
                << stored << " / " << typed;
    }
}

TEST_F(PasswordStoreTest, FailedStoreKeepsTheOldRowAndClosesTheTable)
{
    struct Case
    {
        const char *name;
        const char *before; // scrambled row present before, or nullptr
        const char *trigger;
    };
    const Case cases[] = {
        {"insert refused", nullptr, "before insert"},
        {"update refused", "0B97FB", "before update"},
    };
    for (const Case &c : cases) {
        dsrc->src.Exec(QStringLiteral("delete from passwd; drop trigger if exists refuse"));
        if (c.before)
            StorePasswordRow(QString::fromLatin1(c.before));
        dsrc->src.Exec(QStringLiteral("create trigger refuse ") + QString::fromLatin1(c.trigger) +
                       QStringLiteral(" on passwd begin select raise(abort, 'refused'); end"));
        EXPECT_THROW(StoreAdminPassword(QStringLiteral("Zz9")), EDatabaseError) << c.name;
        EXPECT_EQ(StoredPasswords(),
                  c.before ? QStringList{QString::fromLatin1(c.before)} : QStringList())
            << c.name;
        EXPECT_FALSE(dsrc->pwdtbl.Active()) << c.name;
    }
}

TEST(SameSecretTest, ComparesWholeTexts)
{
    struct Case
    {
        const char *expected;
        const char *given;
        bool same;
    };
    const Case cases[] = {
        {"", "", true},
        {"0B97FB", "0B97FB", true},
        {"0B97FB", "1B97FB", false},
        {"0B97FB", "0B97FC", false},
        {"0B97FB", "0B97", false},
        {"0B97", "0B97FB", false},
        {"0B97FB", "", false},
        {"", "0B", false},
        {"0b97fb", "0B97FB", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SameSecret(QString::fromLatin1(c.expected), QString::fromLatin1(c.given)), c.same)
            << '"' << c.expected << "\" vs \"" << c.given << '"';
    // A given text that runs on past the expected one with nul characters is still different.
    EXPECT_FALSE(SameSecret(QStringLiteral("AB"), QString::fromUtf16(u"AB\0", 3)));
}

} // namespace
