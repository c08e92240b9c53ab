#pragma once
// A reader on port COM3 wired to a simulated reader, with fresh databases, the message boxes
// caught and an offline session on that reader. Main thread.

#include "readerlink/offlinesession.h"
#include "readerlink/reader.h"
#include "store/clock.h"
#include "store/datasrc.h"
#include "store/settings.h"
#include "testsupport/fakemessages.h"
#include "testsupport/readersim.h"
#include "testsupport/simreader.h"
#include "testsupport/tempdata.h"

#include <QStringList>

#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// A payload or frame as spaced hex, "00 03 00".
inline QString HexText(const ReaderSim::Bytes &b)
{
    QStringList parts;
    for (std::uint8_t v : b)
        parts << QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

class OfflineTest : public TempDataTest
{
protected:
    static constexpr int Port = 3;

    void SetUp() override
    {
        TempDataTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(sim.Start()) << sim.ErrorText();
        reader.SetEnable(true);
        ConnectToSim(reader, sim, Port);
        ASSERT_TRUE(reader.Connected());
        session.SetReader(&reader);
    }

    void TearDown() override
    {
        reader.SetConnected(false);
        sim.Stop();
        PinClock(QDateTime());
        TempDataTest::TearDown();
    }

    // The host's frames as the reader read them: a command frame by its payload, a data
    // frame as "data" and its size, a text frame by its text.
    QStringList Frames() const
    {
        QStringList out;
        for (const ReaderSim::Frame &f : sim.Received()) {
            if (f.kind == ReaderSim::Frame::Command)
                out << HexText(f.payload);
            else if (f.kind == ReaderSim::Frame::Data)
                out << QStringLiteral("data %1").arg(f.payload.size());
            else
                out << QString::fromLatin1(reinterpret_cast<const char *>(f.payload.data()),
                                           qsizetype(f.payload.size()));
        }
        return out;
    }

    int LogRows(const QString &where = QString()) const
    {
        TStatement st = dsrc->att.Prepare(QStringLiteral("select count(*) from recorder ") + where);
        st.Step();
        return int(st.ColumnInt64(0));
    }

    ReaderSim sim;
    TRfidReader reader;
    TOfflineSession session;
    FakeMessages messages;
};

// Frames of the session steps used again and again.
inline const QString LockFrame = QStringLiteral("00 00 01");
inline const QString UnlockFrame = QStringLiteral("00 00 00");
inline const QString CapacityFrame = QStringLiteral("00 03 00");

// A list of texts from literals and strings alike.
struct TextItem
{
    TextItem(const char *text) : Text(QString::fromUtf8(text)) {}
    TextItem(const QString &text) : Text(text) {}
    QString Text;
};

inline QStringList Strs(std::initializer_list<TextItem> items)
{
    QStringList out;
    for (const TextItem &item : items)
        out << item.Text;
    return out;
}
