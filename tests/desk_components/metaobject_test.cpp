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
#include "store/datasetmodel.h"
#include "store/glyphs.h"
#include "store/lighttimer.h"
#include "store/pgbar.h"
#include "store/radiogroup.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QGroupBox>
#include <QMainWindow>
#include <QStyledItemDelegate>
#include <QWidget>
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

} // namespace
