#pragma once
// The card list and the card dialog over a fresh data folder: dialogs are answered by scripted
// steps run on the shown dialog, message boxes and file dialogs by the fakes, and pictures for
// the photo are written into the data folder.

#include "desk/cardinfo.h"
#include "desk/nadd.h"
#include "desk_window/windowfixture.h"
#include "store/jpegcodec.h"
#include "testsupport/childlookup.h"
#include "testsupport/fakefiledialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QQueue>
#include <functional>
#include <gtest/gtest.h>

// Each dialog the code under test runs gets the next step: the step sees the shown dialog and
// presses its buttons. A dialog left open by its step is cancelled and fails the test.
class DialogSteps
{
public:
    using Step = std::function<void(QDialog &dialog)>;

    void Add(Step step) { m_steps.enqueue(std::move(step)); }
    int Pending() const { return int(m_steps.size()); }
    int Run() const { return m_run; }

    TCardInfo::DialogRunner Runner()
    {
        return [this](QDialog &dialog) {
            ++m_run;
            dialog.show();
            if (m_steps.isEmpty()) {
                ADD_FAILURE() << "unexpected dialog: " << dialog.windowTitle().toStdString();
                dialog.reject();
                return dialog.result();
            }
            const Step step = m_steps.dequeue();
            step(dialog);
            if (dialog.isVisible()) {
                ADD_FAILURE() << "dialog left open: " << dialog.windowTitle().toStdString();
                dialog.reject();
            }
            return dialog.result();
        };
    }

private:
    QQueue<Step> m_steps;
    int m_run = 0;
};

inline Tnadd &asCard(QDialog &dialog)
{
    auto *card = dynamic_cast<Tnadd *>(&dialog);
    EXPECT_NE(card, nullptr) << dialog.windowTitle().toStdString();
    return *card;
}

class CardsTest : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        m_files = std::make_unique<FakeFileDialogs>();
    }
    void TearDown() override
    {
        m_files.reset();
        WindowTest::TearDown();
    }

    FakeFileDialogs &Files() { return *m_files; }
    DialogSteps &Steps() { return m_steps; }

    // A card holder with a photo of the given size (none when empty).
    static void AddHolder(int card, const QString &name, int group, const QImage &photo = {})
    {
        AddStaff(card, name, group);
        if (photo.isNull())
            return;
        TStatement st =
            dsrc->src.Prepare(QStringLiteral("update staffs set PHOTO=? where CARDNO=?"));
        st.Bind(1, EncodeJpeg(photo));
        st.Bind(2, card);
        st.Step();
        dsrc->staff.Refresh();
    }

    // A file in the data folder holding the bytes.
    QString WriteFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = QDir(Data().Dir()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    // The stored photo of the card as its bytes; empty when there is none.
    static QByteArray StoredJpeg(int card)
    {
        TStatement st =
            dsrc->src.Prepare(QStringLiteral("select PHOTO from staffs where CARDNO=?"));
        st.Bind(1, card);
        if (!st.Step() || st.ColumnIsNull(0))
            return {};
        return st.ColumnBlob(0);
    }
    // The stored photo of the card, decoded; null when there is none.
    static QImage StoredPhoto(int card) { return DecodeJpeg(StoredJpeg(card)); }
    static QString StoredText(int card, const char *column)
    {
        TStatement st = dsrc->src.Prepare(QStringLiteral("select ") + QString::fromLatin1(column) +
                                          QStringLiteral(" from staffs where CARDNO=?"));
        st.Bind(1, card);
        return st.Step() ? st.ColumnText(0) : QStringLiteral("<no row>");
    }

    std::unique_ptr<FakeFileDialogs> m_files;
    DialogSteps m_steps;
};
