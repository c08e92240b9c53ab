#include "reports/dlgpersons.h"
#include "reports/dlgstaffs.h"
#include "reports/scopeparts.h"
#include "reports/whoscope.h"
#include "store/jpegcodec.h"
#include "store/radiogroup.h"
#include "store/settings.h"
#include "testsupport/childlookup.h"
#include "testsupport/fakemessages.h"
#include "testsupport/tempdata.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

QImage picture(int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

bool isCleared(const QImage &image)
{
    return image.size() == QSize(100, 100) && image.pixelColor(50, 50) == QColor(Qt::white);
}

} // namespace

using CardDialogTest = TempDataTest;

TEST_F(CardDialogTest, OpensWithTheDefaultsAndTheClearedPicturesWhenNothingIsStored)
{
    TDlgPersons dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Print Member Card"));
    const TCardChoices c = dialog.Choices();
    EXPECT_TRUE(c.Horizontal);
    EXPECT_TRUE(c.Preview);
    EXPECT_TRUE(c.Transparent);
    EXPECT_TRUE(c.TitleEnabled);
    EXPECT_EQ(c.Title, QStringLiteral("STAFF CARD"));
    EXPECT_EQ(c.RemarkEnabled, (std::array<bool, 4>{true, false, false, false}));
    EXPECT_EQ(c.RemarkCaption[0], QStringLiteral("Remark"));
    EXPECT_TRUE(c.RemarkCaption[3].isEmpty());
    EXPECT_TRUE(c.Frame);
    EXPECT_FALSE(c.LogoEnabled);
    EXPECT_TRUE(isCleared(c.Background));
    EXPECT_TRUE(isCleared(c.Logo));
    EXPECT_EQ(Child<QWidget>(dialog, "persons")->objectName(), QStringLiteral("persons"));
}

TEST_F(CardDialogTest, StoredPicturesLoadAndADamagedOneReadsAsMissing)
{
    ASSERT_TRUE(WriteJpegFile(picture(170, 108, Qt::blue), TDlgPersons::BackgroundFile(), 90));
    {
        QFile damaged(TDlgPersons::LogoFile());
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("\xFF\xD8\xFF not a picture at all");
    }
    FakeMessages boxes;
    TDlgPersons dialog;
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(dialog.Choices().Background.size(), QSize(170, 108));
    EXPECT_TRUE(isCleared(dialog.Choices().Logo));
}

TEST_F(CardDialogTest, SaveWritesEverySettingAndBothPictures)
{
    FakeMessages boxes;
    {
        TDlgPersons dialog;
        Child<QLineEdit>(dialog, "eTitle")->setText(QStringLiteral("VISITOR"));
        Child<QLineEdit>(dialog, "eLine1")->setText(QStringLiteral("Dept"));
        Child<QCheckBox>(dialog, "cbLine3")->setChecked(true);
        Child<QLineEdit>(dialog, "eLine3")->setText(QStringLiteral("Valid to"));
        Child<QCheckBox>(dialog, "cbLogoEnable")->setChecked(true);
        Child<QCheckBox>(dialog, "cbClear")->setChecked(false);
        Child<QPushButton>(dialog, "bSave")->click();
    }
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Settings are saved.")});
    EXPECT_EQ(ReadRegString(QStringLiteral("CardTitleString"), QString()),
              QStringLiteral("VISITOR"));
    EXPECT_EQ(ReadRegString(QStringLiteral("CardRemakrString1"), QString()),
              QStringLiteral("Dept"));
    EXPECT_EQ(ReadRegString(QStringLiteral("CardRemakrString3"), QString()),
              QStringLiteral("Valid to"));
    EXPECT_TRUE(ReadRegBool(QStringLiteral("CardRemarkEnable3"), false));
    EXPECT_TRUE(ReadRegBool(QStringLiteral("CardLogoEnable"), false));
    EXPECT_FALSE(ReadRegBool(QStringLiteral("CardTransparent"), true));
    EXPECT_TRUE(QFile::exists(TDlgPersons::BackgroundFile()));
    EXPECT_TRUE(QFile::exists(TDlgPersons::LogoFile()));

    // The next opening shows what was saved.
    TDlgPersons again;
    const TCardChoices c = again.Choices();
    EXPECT_EQ(c.Title, QStringLiteral("VISITOR"));
    EXPECT_EQ(c.RemarkEnabled, (std::array<bool, 4>{true, false, true, false}));
    EXPECT_TRUE(isCleared(c.Background));
}

TEST_F(CardDialogTest, ConfirmWithoutSaveStoresOnlyTheStyle)
{
    TDlgPersons dialog;
    Child<QLineEdit>(dialog, "eTitle")->setText(QStringLiteral("VISITOR"));
    Child<QRadioButton>(dialog, "rbVert")->click();
    Child<QPushButton>(dialog, "Button1")->click();
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_FALSE(dialog.Choices().Horizontal);
    EXPECT_EQ(dialog.Choices().Title, QStringLiteral("VISITOR"));
    EXPECT_FALSE(ReadRegBool(QStringLiteral("Card_Style"), true));
    EXPECT_EQ(ReadRegString(QStringLiteral("CardTitleString"), QStringLiteral("unset")),
              QStringLiteral("unset"));
    EXPECT_FALSE(QFile::exists(TDlgPersons::BackgroundFile()));
    TDlgPersons again;
    EXPECT_FALSE(again.Choices().Horizontal);
}

TEST_F(CardDialogTest, APictureThatCannotBeWrittenIsSaidAndTheSettingsStayAsTheyWere)
{
    ASSERT_TRUE(QDir(Data().Dir()).mkdir(QStringLiteral("cardlogo.jpg")));
    FakeMessages boxes;
    TDlgPersons dialog;
    Child<QLineEdit>(dialog, "eTitle")->setText(QStringLiteral("VISITOR"));
    Child<QPushButton>(dialog, "bSave")->click();
    EXPECT_EQ(boxes.Texts(), QStringList{QStringLiteral("Settings cannot be saved.")});
    EXPECT_EQ(ReadRegString(QStringLiteral("CardTitleString"), QStringLiteral("unset")),
              QStringLiteral("unset"));
}

using WhoScopeTest = TempDataTest;

TEST_F(WhoScopeTest, ReadsTheSharedPrintSettingsThroughTheirChoices)
{
    struct Case
    {
        const char *name;
        int storedPerLine; // -1: nothing stored
        int expectedIndex;
    } cases[] = {{"nothing stored reads as four", -1, 1},
                 {"six", 6, 2},
                 {"eight", 8, 3},
                 {"zero reads as four", 0, 1},
                 {"five reads as four", 5, 1}};
    for (const Case &c : cases) {
        ClearSettings();
        if (c.storedPerLine >= 0)
            WriteRegInteger(QStringLiteral("PrintRecordsPerLine"), c.storedPerLine);
        Twhoscope dialog;
        EXPECT_EQ(dialog.rgrecord->ItemIndex(), c.expectedIndex) << c.name;
        EXPECT_EQ(dialog.RecordsPerLine(), (c.expectedIndex + 1) * 2) << c.name;
    }
    ClearSettings();
    Twhoscope dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Who's Status"));
    EXPECT_TRUE(dialog.cbnewpage->isChecked());
    EXPECT_TRUE(dialog.cbenhance->isChecked());
    EXPECT_TRUE(dialog.cbpreview->isChecked());
    EXPECT_EQ(dialog.RecordFormat(), QStringLiteral(" AM/PMhh:mm:ss"));
}

TEST_F(WhoScopeTest, ConfirmWritesTheFiveSettingsAndCancelNone)
{
    {
        Twhoscope dialog;
        dialog.rgrecord->SetItemIndex(3);
        dialog.rgformat->SetItemIndex(1);
        dialog.cbnewpage->setChecked(false);
        dialog.cbenhance->setChecked(false);
        dialog.cbpreview->setChecked(false);
        dialog.WhoScope->click();
        EXPECT_EQ(dialog.result(), 2);
    }
    EXPECT_EQ(ReadRegInteger(QStringLiteral("PrintRecordsPerLine"), -1), -1);
    Twhoscope dialog;
    dialog.rgrecord->SetItemIndex(3);
    dialog.rgformat->SetItemIndex(1);
    dialog.cbnewpage->setChecked(false);
    dialog.cbenhance->setChecked(false);
    dialog.cbpreview->setChecked(false);
    dialog.Button1->click();
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(ReadRegInteger(QStringLiteral("PrintRecordsPerLine"), -1), 8);
    EXPECT_EQ(ReadRegInteger(QStringLiteral("PrintRecordsFormat"), -1), 1);
    EXPECT_FALSE(ReadRegBool(QStringLiteral("PrintBreakPage"), true));
    EXPECT_FALSE(ReadRegBool(QStringLiteral("PrintEnhance"), true));
    EXPECT_FALSE(ReadRegBool(QStringLiteral("PrintPreviewOnly"), true));
    Twhoscope next;
    EXPECT_EQ(next.RecordsPerLine(), 8);
    EXPECT_EQ(next.RecordFormat(), QStringLiteral(" HH:mm:ss"));
}

TEST_F(WhoScopeTest, StaffSelectionPreviewsByDefaultAndStoresNothing)
{
    TdlgStaffs dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Select Staffs"));
    EXPECT_TRUE(dialog.cbpreview->isChecked());
    EXPECT_TRUE(dialog.persons->rballstaff->isChecked());
    Child<QPushButton>(dialog, "Button2")->click();
    EXPECT_EQ(dialog.result(), 2);
}

// What the day reports, the member list and the cards are handed: the persons with the day,
// the pairs a line, the record format and the options; the persons and the preview.
TEST_F(WhoScopeTest, DialogsHandTheirChoicesOverAsAScope)
{
    Twhoscope who;
    who.persons->rbstaff->click();
    who.dpfrom->setDate(QDate(2026, 11, 30));
    who.rgrecord->SetItemIndex(2);
    who.rgformat->SetItemIndex(3);
    who.cbnewpage->setChecked(false);
    who.cbenhance->setChecked(true);
    who.cbpreview->setChecked(false);
    const TReportScope day = who.Scope();
    EXPECT_EQ(day.Persons, TPersonsChoice::List);
    EXPECT_EQ(day.From.date(), QDate(2026, 11, 30));
    EXPECT_EQ(day.PairsPerLine, 3);
    EXPECT_EQ(day.RecordFormat, QStringLiteral(" HH:mm"));
    EXPECT_FALSE(day.NewPagePerPerson);
    EXPECT_TRUE(day.Enhanced);
    EXPECT_FALSE(day.Preview);

    TdlgStaffs staffs;
    staffs.persons->rbgroup->click();
    staffs.cbpreview->setChecked(false);
    const TReportScope list = staffs.Scope();
    EXPECT_EQ(list.Persons, TPersonsChoice::Group);
    EXPECT_EQ(list.GroupName, staffs.persons->cbgroup->currentText());
    EXPECT_FALSE(list.Preview);

    TDlgPersons cards;
    Child<QRadioButton>(cards, "rbstaff")->click();
    const TReportScope members = cards.Scope();
    EXPECT_EQ(members.Persons, TPersonsChoice::List);
    EXPECT_EQ(members.Preview, cards.Choices().Preview);
}
