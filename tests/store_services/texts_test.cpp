#include "store/readerdesc.h"
#include "store/utils.h"

#include <gtest/gtest.h>

namespace {

TEST(ModeTexts, NamesAndSevenCharacterTags)
{
    struct Row
    {
        int mode;
        const char *name;
        const char *tag;
    } rows[] = {
        {0, "CLOCK", "[CLOCK]"}, {1, "IN", "[IN]   "},   {2, "OUT", "[OUT]  "},
        {3, "N/A", "[N/A]  "},   {-1, "N/A", "[N/A]  "}, {255, "N/A", "[N/A]  "},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.mode);
        EXPECT_EQ(GetModeName(r.mode), QString::fromLatin1(r.name));
        EXPECT_EQ(FormatModeTag(r.mode), QString::fromLatin1(r.tag));
        EXPECT_EQ(FormatModeTag(r.mode).size(), 7);
    }
}

class FixedDescriptions : public IReaderDescriptions
{
public:
    QString Desc(int port) const override
    {
        ++calls;
        return QStringLiteral("Door %1").arg(port);
    }
    mutable int calls = 0;
};

// Restores the default source even when a check fails.
struct DescriptionsScope
{
    explicit DescriptionsScope(const IReaderDescriptions *source)
        : previous(SetReaderDescriptions(source))
    {
    }
    ~DescriptionsScope() { SetReaderDescriptions(previous); }
    const IReaderDescriptions *previous;
};

TEST(PortNames, DefaultsToComNameUntilTheReadersAreInstalled)
{
    struct Row
    {
        int port;
        const char *before;
        const char *after;
    } rows[] = {
        {0, "DENIED", "DENIED"}, {1, "COM1", "Door 1"},  {8, "COM8", "Door 8"},
        {9, "ERROR", "ERROR"},   {-1, "ERROR", "ERROR"}, {1000, "ERROR", "ERROR"},
    };
    ASSERT_EQ(CurrentReaderDescriptions(), nullptr);
    for (const Row &r : rows)
        EXPECT_EQ(GetPortName(r.port), QString::fromLatin1(r.before)) << r.port;

    FixedDescriptions readers;
    {
        DescriptionsScope scope(&readers);
        for (const Row &r : rows)
            EXPECT_EQ(GetPortName(r.port), QString::fromLatin1(r.after)) << r.port;
        // Only real reader ports are asked for: the array has no slot for 0 or 9.
        EXPECT_EQ(readers.calls, 2);
    }
    EXPECT_EQ(CurrentReaderDescriptions(), nullptr);
    EXPECT_EQ(GetPortName(3), QStringLiteral("COM3"));
}

TEST(PortNames, ReaderPortRangeAndModelNames)
{
    for (int n : {-1, 0, 9, 100})
        EXPECT_FALSE(IsReaderPort(n)) << n;
    for (int n = 1; n <= 8; ++n)
        EXPECT_TRUE(IsReaderPort(n)) << n;

    EXPECT_EQ(GetReaderModelName(0), QStringLiteral("MV series"));
    for (int model : {1, 2, -1, 99})
        EXPECT_EQ(GetReaderModelName(model), QStringLiteral("DL series")) << model;
}

} // namespace
