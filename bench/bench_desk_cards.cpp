// The card list and the card editor over 10,000 card holders with 240 x 320 photos, each
// against the least the same database work costs, measured side by side (alternating) in one
// run:
// 1. Reloading the card list (query, caption, first row and its photo), against a bare
//    prepared select of the list's columns stepped to the end. Target: at most 3 x.
// 2. Saving a card through EditCard (dialog filled from the row, confirmed, row written with
//    its photo), against a bare prepared UPDATE of the row committed on the same file.
//    Target: at most 3 x.
//
// Usage: bench_desk_cards [rounds]   (default 15)

#include "desk/cardinfo.h"
#include "desk/nadd.h"
#include "store/datasrc.h"
#include "store/db/sqlitedb.h"
#include "store/images.h"
#include "store/jpegcodec.h"
#include "testsupport/benchsupport.h"
#include "testsupport/tempdata.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr int StaffRows = 10000;

// A photo with detail, so the stored JPEG is of a usual size.
QImage photo(int seed)
{
    QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB888);
    quint32 noise = quint32(seed) * 2654435761u + 1;
    for (int y = 0; y < PhotoHeight; ++y) {
        uchar *p = image.scanLine(y);
        for (int x = 0; x < PhotoWidth * 3; ++x) {
            noise = noise * 1664525u + 1013904223u;
            *p++ = uchar((x / 3 + y + int(noise >> 29)) & 255);
        }
    }
    return image;
}

void fillStaff()
{
    TDatabase &db = dsrc->src;
    TTransaction tx(db);
    for (int g = 0; g < 20; ++g) {
        TStatement st = db.Prepare(QStringLiteral("insert into gid (DESCX) values (?)"));
        st.Bind(1, QStringLiteral("Group %1").arg(g, 2, 10, QLatin1Char('0')));
        st.Step();
    }
    TStatement st = db.Prepare(QStringLiteral(
        "insert into staffs (CARDNO, NAME, WORKGRP, PHOTO, COM1) values (?, ?, ?, ?, 1)"));
    for (int i = 0; i < StaffRows; ++i) {
        st.Reset();
        st.Bind(1, 100000 + i);
        st.Bind(2,
                QStringLiteral("Holder %1").arg((i * 7919) % StaffRows, 5, 10, QLatin1Char('0')));
        st.Bind(3, 1 + i % 21);
        st.Bind(4, EncodeJpeg(photo(i % 16)));
        st.Step();
    }
    tx.Commit();
    dsrc->staff.Close();
    dsrc->staff.Open();
    dsrc->gidtbl.Close();
    dsrc->gidtbl.Open();
}

} // namespace

int main(int argc, char **argv)
{
    BenchApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    TempData data;
    if (!data.IsValid()) {
        std::fprintf(stderr, "no data folder\n");
        return 2;
    }
    fillStaff();

    // Every card dialog is confirmed as it was filled.
    TCardInfo list(nullptr, [](QDialog &dialog) {
        if (auto *card = dynamic_cast<Tnadd *>(&dialog))
            card->xconfirmClick();
        return dialog.result();
    });

    std::vector<double> reload, select;
    for (int i = 0; i < rounds; ++i) {
        select.push_back(MsOf([] {
            TStatement st = dsrc->src.Prepare(
                QStringLiteral("select CARDNO,NAME,descx from staffs left join gid on "
                               "staffs.workgrp=gid.id order by NAME"));
            while (st.Step()) {
            }
        }));
        reload.push_back(MsOf([&] { list.FormCreate(); }));
    }
    if (list.Members().RecordCount() != StaffRows)
        std::fprintf(stderr, "list holds %d rows\n", list.Members().RecordCount());
    PrintRatio("card list reload", "bare select stepped to the end", reload, select, 3.0);

    // Both write the same card's row with a new photo, in turns of which goes first, so that
    // neither always meets the pages the other just wrote.
    std::vector<double> save, update;
    for (int i = 0; i < rounds; ++i) {
        const int card = 100000 + (i * 997) % StaffRows;
        const QByteArray jpeg = EncodeJpeg(photo(i));
        const auto bare = [&] {
            update.push_back(MsOf([&] {
                TStatement st = dsrc->src.Prepare(QStringLiteral(
                    "update staffs set NAME=?,COM1=?,COM2=?,COM3=?,COM4=?,COM5=?,COM6=?,COM7=?,"
                    "COM8=?,OFFLINE=?,WORKGRP=?,MEMO=?,PHOTO=? where CARDNO=?"));
                st.Bind(1, QStringLiteral("Holder %1").arg(i));
                for (int port = 1; port <= 9; ++port)
                    st.Bind(1 + port, port == 1);
                st.Bind(11, 1);
                st.Bind(12, QString());
                st.Bind(13, jpeg);
                st.Bind(14, card);
                st.Step();
            }));
        };
        const auto ours = [&] {
            bool saved = false;
            save.push_back(MsOf([&] { saved = list.EditCard(card); }));
            if (!saved)
                std::fprintf(stderr, "card %d not saved\n", card);
        };
        if (i % 2) {
            bare();
            ours();
        } else {
            ours();
            bare();
        }
    }
    PrintRatio("saving a card through EditCard", "bare prepared UPDATE committed", save, update,
               3.0);
    return 0;
}
