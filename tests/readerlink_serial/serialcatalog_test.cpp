// The serial layer's texts come from the "serialport" catalog under <AppPath>/locale.

#include "readerlink/serialerror.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

// A language of our own under a temporary program folder, switched on for one test.
class CatalogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_app.isValid());
        m_oldLocale = std::setlocale(LC_MESSAGES, nullptr);
        if (const char *language = std::getenv("LANGUAGE"))
            m_oldLanguage = language;
    }
    void TearDown() override
    {
        if (m_oldLanguage.empty())
            ::unsetenv("LANGUAGE");
        else
            ::setenv("LANGUAGE", m_oldLanguage.c_str(), 1);
        std::setlocale(LC_MESSAGES, m_oldLocale.c_str());
        BindSerialPortCatalog(QStringLiteral("/nonexistent"));
    }

    // Writes a catalog for language "xx" with the given suffix translation and binds it.
    bool install(const QString &suffix)
    {
        const QString dir = m_app.filePath(QStringLiteral("locale/xx/LC_MESSAGES"));
        QDir().mkpath(dir);
        const QString po = m_app.filePath(QStringLiteral("serialport.po"));
        QFile f(po);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        f.write("msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                "msgid \"Unable to open com port\"\nmsgstr \"Port lässt sich nicht öffnen\"\n\n"
                "msgid \" (win error code: %d)\"\nmsgstr \"");
        f.write(suffix.toUtf8());
        f.write("\"\n");
        f.close();
        // No c-format check: the catalog may carry a bad suffix on purpose.
        const int rc =
            QProcess::execute(QStringLiteral("msgfmt"),
                              {QStringLiteral("-o"), dir + QStringLiteral("/serialport.mo"), po});
        if (rc != 0)
            return false;
        ::setenv("LANGUAGE", "xx", 1);
        if (!std::setlocale(LC_MESSAGES, "C.UTF-8"))
            return false;
        BindSerialPortCatalog(m_app.path());
        return true;
    }

    QTemporaryDir m_app;
    std::string m_oldLocale;
    std::string m_oldLanguage;
};

} // namespace

TEST_F(CatalogTest, TextAndSuffixAreTranslated)
{
    ASSERT_TRUE(install(QStringLiteral(" (Systemfehler %d)")));
    EXPECT_EQ(ESerialPort(1, 2).Message(),
              QStringLiteral("Port lässt sich nicht öffnen (Systemfehler 2)"));
    EXPECT_EQ(ESerialPort(1).Message(), QStringLiteral("Port lässt sich nicht öffnen"));
    // A text the catalog lacks stays as it is.
    EXPECT_EQ(ESerialPort(14).Message(), QStringLiteral("Cannot set property while connected"));
}

TEST_F(CatalogTest, ASuffixWithOtherConversionsIsNotUsedAsAFormat)
{
    for (const char *bad : {" (%s %d)", " (Fehler)", " (%d %n)"}) {
        ASSERT_TRUE(install(QString::fromUtf8(bad))) << bad;
        EXPECT_EQ(ESerialPort(1, 5).Message(),
                  QStringLiteral("Port lässt sich nicht öffnen (win error code: 5)"))
            << bad;
    }
}
