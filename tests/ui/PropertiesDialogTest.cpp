#include "tests/ui/PropertiesDialogFixture.h"

#include "resources/DialogUnits.h"
#include "ui/DialogNumber.h"

#include <QCheckBox>

namespace T = PropertiesDialogTemplate;

namespace {

const QString kPositive = QStringLiteral("Please enter a positive integer.");

TEST(DialogNumberTest, ReadsTheFieldGrammar) {
    EXPECT_EQ(readDialogNumber(QStringLiteral(" 7 ")), 7u);
    EXPECT_EQ(readDialogNumber(QStringLiteral("\t+12\t")), 12u);
    EXPECT_EQ(readDialogNumber(QStringLiteral("0")), 0u);
    EXPECT_EQ(readDialogNumber(QStringLiteral("007")), 7u);
    EXPECT_EQ(readDialogNumber(QStringLiteral("99999999999")), 4294967295u);
    // Only the first 31 characters count: the stray letter lies beyond them.
    EXPECT_EQ(readDialogNumber(QStringLiteral("5") + QString(30, u' ') + u'x'), 5u);

    for (const char* bad : {"", "   ", "-5", "1a", "+0", " 0", "+", "7 8", "0x10", "٣"})
        EXPECT_FALSE(readDialogNumber(QString::fromUtf8(bad))) << bad;
}

TEST(DialogUnitsTest, ConvertsBothEdgesWithTheFontsBaseUnits) {
    const DialogUnits units(6, 13);
    EXPECT_EQ(units.x(4), 6);
    EXPECT_EQ(units.y(8), 13);
    // 7 * 6 / 4 = 10.5 rounds up; the width is taken between the rounded edges.
    EXPECT_EQ(units.toPixels({7, 7, 53, 101}), QRect(11, 11, 79, 165));
}

TEST(SettingsTableTest, ApplyTakesEveryEditedFieldAndKeepsThePositions) {
    WallpaperSettings live;
    live.CurFileListPos = 4;
    live.CurURLListPos = 2;
    live.CurScanFolderPos = 9;
    WallpaperSettings edited = WallpaperSettings::defaults(QStringLiteral("/new"));
    edited.Hour = 3;
    edited.FtpPassword = QStringLiteral("pw");
    WallpaperSettings out = live;
    SettingsTable::copyEdited(edited, out);
    EXPECT_EQ(out.CurFileListPos, 4);
    EXPECT_EQ(out.CurURLListPos, 2);
    EXPECT_EQ(out.CurScanFolderPos, 9);
    // Apart from the positions, every field came over.
    out.CurFileListPos = out.CurURLListPos = out.CurScanFolderPos = 0;
    EXPECT_EQ(out, edited);
}

using ReadFormTest = PropertiesDialogFixture;

TEST_F(ReadFormTest, OutOfRangeHourStopsWithTheRangeMessageAndFocus) {
    PropertiesDialog& dialog = open();
    edit(T::IdMinute)->setText(QStringLiteral("20"));
    edit(T::IdHour)->setText(QStringLiteral("25"));
    edit(T::IdSeconds)->setText(QStringLiteral("40"));
    button(T::IdTile)->setChecked(true);

    EXPECT_FALSE(dialog.readForm());
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Please enter an integer between 0 and 24."));
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("tessaron"));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(dialog.focusWidget(), edit(T::IdHour));
    EXPECT_EQ(edit(T::IdHour)->selectedText(), QStringLiteral("25"));
    // Fields before are read, the failing one holds its number, the later ones stay.
    EXPECT_EQ(dialog.record().Minute, 20u);
    EXPECT_EQ(dialog.record().Hour, 25u);
    EXPECT_EQ(dialog.record().Seconds, 30u);
    EXPECT_EQ(dialog.record().Layout, 2);
}

TEST_F(ReadFormTest, UnreadableNumbersGiveThePositiveIntegerMessage) {
    PropertiesDialog& dialog = open();
    for (const char* text : {"", "-5", "1a", "+0"}) {
        m_messages.clear();
        edit(T::IdMinute)->setText(QString::fromLatin1(text));
        edit(T::IdHour)->setText(QStringLiteral("7"));
        EXPECT_FALSE(dialog.readForm()) << text;
        ASSERT_EQ(m_messages.size(), 1u) << text;
        EXPECT_EQ(m_messages[0].text, kPositive);
        EXPECT_EQ(dialog.focusWidget(), edit(T::IdMinute));
        EXPECT_EQ(dialog.record().Minute, 10u) << text;
        EXPECT_EQ(dialog.record().Hour, 1u) << text;
    }
}

TEST_F(ReadFormTest, AcceptsTheBoundsOfEveryField) {
    PropertiesDialog& dialog = open();
    for (auto [h, m, s] : {std::tuple{"24", "60", "3600"}, std::tuple{"0", "0", "0"},
                           std::tuple{" 7 ", "+5", "\t9"}}) {
        edit(T::IdHour)->setText(QString::fromLatin1(h));
        edit(T::IdMinute)->setText(QString::fromLatin1(m));
        edit(T::IdSeconds)->setText(QString::fromLatin1(s));
        EXPECT_TRUE(dialog.readForm()) << h;
    }
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(dialog.record().Hour, 7u);
    EXPECT_EQ(dialog.record().Minute, 5u);
    EXPECT_EQ(dialog.record().Seconds, 9u);

    edit(T::IdSeconds)->setText(QStringLiteral("3601"));
    EXPECT_FALSE(dialog.readForm());
    EXPECT_EQ(m_messages.back().text,
              QStringLiteral("Please enter an integer between 0 and 3600."));
    edit(T::IdSeconds)->setText(QStringLiteral("1"));
    edit(T::IdMinute)->setText(QStringLiteral("61"));
    EXPECT_FALSE(dialog.readForm());
    EXPECT_EQ(m_messages.back().text, QStringLiteral("Please enter an integer between 0 and 60."));
}

TEST_F(ReadFormTest, FillAndReadCarryEveryFieldAndOddIndexesSelectNoRadio) {
    WallpaperSettings s = baseSettings();
    s.IncludeSubflders = 1;
    s.RunSlideShowCtrl = 1;
    s.UseFileList = 2;
    s.FtpLogin = QStringLiteral("me");
    s.FtpPassword = QStringLiteral("secret");
    s.FtpFolder = QStringLiteral("pub/pics");
    s.PauseWhenLocked = 0;
    s.PauseOnBattery = 1;
    s.AllPictureTypes = 1;
    s.EachScreen = 1;
    s.Shuffle = 1;
    s.ChangeCommand = QStringLiteral("wal -i %f");
    s.FavouritesFolder = QStringLiteral("/kept");
    s.ShowOnLockScreen = 1;
    s.Layout = static_cast<std::int32_t>(ImageLayout::FitOnBlur);
    s.FitColor = QStringLiteral("#336699");
    s.NeverEnlarge = 1;
    s.SmartCrop = 0;
    PropertiesDialog& dialog = open(s);
    EXPECT_EQ(edit(T::IdFtpPassword)->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog.readForm());
    EXPECT_EQ(dialog.record(), s);
    // The hidden check box is never shown but still carries its field.
    EXPECT_TRUE(dialog.control(T::IdRunSlideShowCtrl)->isHidden());

    // A colour the conversion cannot read is shown and read back as the black it stands for.
    dialog.record().Layout = 8;
    dialog.record().UseFileList = -3;
    dialog.record().FitColor = QStringLiteral("blue");
    dialog.fillForm();
    EXPECT_TRUE(dialog.readForm());
    EXPECT_EQ(dialog.record().FitColor, QStringLiteral("#000000"));
    EXPECT_EQ(dialog.record().Layout, -1);
    EXPECT_EQ(dialog.record().UseFileList, -1);
}

using LayoutForModeTest = PropertiesDialogFixture;

TEST_F(LayoutForModeTest, FitsTheHeightToEachGroupAndMovesTheButtons) {
    setFiles({QStringLiteral("/a.jpg")});
    const std::array<int, 3> anchors{T::IdIncludeSubfolders, T::IdFileList, T::IdUrlList};
    for (int source = 0; source < 3; ++source) {
        WallpaperSettings s = baseSettings();
        s.UseFileList = source;
        PropertiesDialog& dialog = open(s);
        const DialogUnits units = DialogUnits::forFont(dialog.font());
        const QRect before = dialog.geometry();
        dialog.layoutForMode();

        const DialogTemplate::Control* anchor = T::kDialog.find(anchors[source]);
        const QRect anchorRect = units.toPixels(anchor->rect);
        const int b = units.toPixels(T::kDialog.find(T::IdOk)->rect).height();
        const int h = anchorRect.y() + anchorRect.height() + 3 * b;
        EXPECT_EQ(dialog.geometry(), QRect(before.x(), before.y(), before.width(), h)) << source;
        for (int id : {T::IdOk, T::IdCancel, T::IdApply})
            EXPECT_EQ(dialog.control(id)->y(), h - (2 * b + 10));
        EXPECT_EQ(dialog.control(T::IdCancel)->x(),
                  units.toPixels(T::kDialog.find(T::IdCancel)->rect).x());
        EXPECT_EQ(dialog.control(T::IdButtonLine)->geometry().y(), h - (2 * b + 20));
        EXPECT_EQ(dialog.control(T::IdButtonLine)->height(), 3);

        for (std::size_t g = 0; g < T::kModeGroups.size(); ++g)
            for (int id : T::kModeGroups[g].controls)
                EXPECT_EQ(dialog.control(id)->isHidden(), static_cast<int>(g) != source)
                    << source << " " << id;
    }
}

TEST_F(LayoutForModeTest, AnUnknownSourceShowsNoGroupAndKeepsTheSize) {
    WallpaperSettings s = baseSettings();
    s.UseFileList = 5;
    PropertiesDialog& dialog = open(s);
    const QRect before = dialog.geometry();
    dialog.layoutForMode();
    EXPECT_EQ(dialog.geometry(), before);
    for (int id : T::kModeControls)
        EXPECT_TRUE(dialog.control(id)->isHidden()) << id;
    for (int id : T::kSourceRadios)
        EXPECT_FALSE(button(id)->isChecked());
}

TEST_F(LayoutForModeTest, OnlyTheListGroupsMoveUpNearTheBottomOfTheScreen) {
    setFiles({QStringLiteral("/a.jpg")});
    for (int source = 0; source < 3; ++source) {
        WallpaperSettings s = baseSettings();
        s.UseFileList = source;
        PropertiesDialog& dialog = open(s);
        const QRect before = dialog.geometry();
        m_screenBottom = before.y() + 50;
        dialog.layoutForMode();
        const QRect after = dialog.geometry();
        if (source == 0)
            EXPECT_EQ(after.y(), before.y());
        else
            EXPECT_EQ(after.y() + after.height(), m_screenBottom) << source;
    }
}

TEST_F(LayoutForModeTest, EmptyFileListOffersAddAndFallsBackToScanFolder) {
    WallpaperSettings s = baseSettings();
    s.UseFileList = 1;
    PropertiesDialog& dialog = open(s);
    dialog.layoutForMode();
    ASSERT_EQ(m_messages.size(), 2u);
    EXPECT_EQ(m_messages[0].caption, QStringLiteral("Infornation"));
    EXPECT_EQ(m_messages[0].text,
              QStringLiteral("List of files is empty. You should add one or more files to list."));
    EXPECT_EQ(m_messages[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(m_messages[1].text, QStringLiteral("List of files is empty. \"File list\" mode can "
                                                 "not be selected."));
    EXPECT_EQ(m_fileChooserStarts.size(), 1u);
    EXPECT_EQ(dialog.record().UseFileList, 0);
    EXPECT_TRUE(button(T::IdScanFolderMode)->isChecked());
    EXPECT_FALSE(dialog.control(T::IdStartPath)->isHidden());
    EXPECT_TRUE(dialog.control(T::IdFileList)->isHidden());
}

TEST_F(LayoutForModeTest, EmptyFileListStaysInFileListModeWhenAFileIsAdded) {
    m_fileAnswers.push_back(QStringLiteral("/pics/one.jpg"));
    PropertiesDialog& dialog = open();
    button(T::IdFileListMode)->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(dialog.record().UseFileList, 1);
    EXPECT_EQ(files(), QStringList{QStringLiteral("/pics/one.jpg")});
    EXPECT_EQ(rows(dialog.fileListView()), files());
    EXPECT_FALSE(dialog.control(T::IdFileList)->isHidden());

    // The FTP group may be chosen with both lists empty.
    setFiles({});
    m_messages.clear();
    button(T::IdFtpMode)->click();
    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(dialog.record().UseFileList, 2);
}

TEST_F(LayoutForModeTest, AStoredOutOfRangeMinuteIsShownAndReportedByTheLayout) {
    WallpaperSettings s = baseSettings();
    s.Minute = 75;
    PropertiesDialog& dialog = open(s);
    EXPECT_EQ(edit(T::IdMinute)->text(), QStringLiteral("75"));
    dialog.layoutForMode();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Please enter an integer between 0 and 60."));
}

using ApplyTest = PropertiesDialogFixture;

TEST_F(ApplyTest, OnlyTheListedEventsEnableApply) {
    setFiles({QStringLiteral("/a.jpg"), QStringLiteral("/b.jpg")});
    PropertiesDialog& dialog = open();
    dialog.layoutForMode();
    EXPECT_TRUE(applyEnabled());
    dialog.applyNow();
    ASSERT_EQ(m_applied.size(), 1u);
    EXPECT_FALSE(applyEnabled());

    // Events that leave a disabled Apply disabled.
    button(T::IdIncludeSubfolders)->click();
    edit(T::IdFtpServer)->setText(QStringLiteral("other"));
    edit(T::IdFtpLogin)->setText(QStringLiteral("x"));
    edit(T::IdFtpPassword)->setText(QStringLiteral("y"));
    edit(T::IdFtpFolder)->setText(QStringLiteral("z"));
    dialog.fileListView()->focusRow(0);
    button(T::IdMoveDown)->click();
    button(T::IdDelete)->click();
    // The exclusion list gives up even its last entry, at once.
    m_state.modify([](SlideShowState::Data& d) {
        d.excludedList = {*ListEntry::fromText(QStringLiteral("/never.jpg"))};
        d.excludedChanged();
    });
    dialog.refillLists();
    qobject_cast<FileDropList*>(dialog.control(T::IdExcludedList))->focusRow(0);
    button(T::IdRemoveExcluded)->click();
    EXPECT_TRUE(m_state.read([](const SlideShowState::Data& d) {
        return d.excludedList.empty() && !d.isExcluded(QStringLiteral("/never.jpg"));
    }));
    button(T::IdFitColor)->click(); // the colour chooser cancelled
    EXPECT_FALSE(applyEnabled());

    const auto enables = [&](const std::function<void()>& event) {
        dialog.applyNow();
        EXPECT_FALSE(applyEnabled());
        event();
        return applyEnabled();
    };
    EXPECT_TRUE(enables([&] { button(T::IdTile)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdCentredInWorkArea)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdSmartCrop)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdNeverEnlarge)->click(); }));
    EXPECT_TRUE(enables([&] {
        m_colourAnswers.push_back(QColor(0x12, 0x34, 0x56));
        button(T::IdFitColor)->click();
    }));
    EXPECT_TRUE(enables([&] { button(T::IdSpan)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdAutoRun)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdPauseWhenLocked)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdPauseOnBattery)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdAllPictureTypes)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdEachScreen)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdShuffle)->click(); }));
    EXPECT_TRUE(enables([&] { button(T::IdShowOnLockScreen)->click(); }));
    EXPECT_TRUE(enables([&] { edit(T::IdChangeCommand)->setText(QStringLiteral("x %f")); }));
    EXPECT_TRUE(enables([&] { edit(T::IdFavouritesFolder)->setText(QStringLiteral("/f")); }));
    EXPECT_TRUE(enables([&] { edit(T::IdMinute)->setText(QStringLiteral("11")); }));
    EXPECT_TRUE(enables([&] { edit(T::IdHour)->setText(QStringLiteral("2")); }));
    EXPECT_TRUE(enables([&] { edit(T::IdSeconds)->setText(QStringLiteral("5")); }));
    EXPECT_TRUE(enables([&] { edit(T::IdStartPath)->setText(QStringLiteral("/x")); }));
    EXPECT_TRUE(enables([&] { button(T::IdFtpMode)->click(); }));

    // The applied record holds the values as they were read.
    EXPECT_EQ(m_applied.back().IncludeSubflders, 1);
    EXPECT_EQ(m_applied.back().FtpServer, QStringLiteral("other"));
    EXPECT_EQ(m_applied.back().AllPictureTypes, 1);
    EXPECT_EQ(m_applied.back().EachScreen, 1);
    EXPECT_EQ(m_applied.back().Shuffle, 1);
    EXPECT_EQ(m_applied.back().Layout, static_cast<std::int32_t>(ImageLayout::Span));
    EXPECT_EQ(m_applied.back().FitColor, QStringLiteral("#123456"));
    EXPECT_EQ(m_applied.back().NeverEnlarge, 1);
}

TEST_F(ApplyTest, AFailedReadAppliesNothingAndLeavesApplyEnabled) {
    PropertiesDialog& dialog = open();
    dialog.layoutForMode();
    edit(T::IdHour)->setText(QStringLiteral("25"));
    m_messages.clear();
    button(T::IdApply)->click();
    EXPECT_TRUE(m_applied.empty());
    EXPECT_TRUE(applyEnabled());
    // OK keeps the dialog open (no result) on the same failure.
    button(T::IdOk)->click();
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(m_messages.size(), 2u);
    edit(T::IdHour)->setText(QStringLiteral("2"));
    button(T::IdOk)->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.record().Hour, 2u);
}

TEST_F(ApplyTest, BrowseTakesTheFolderAndRevertsUnreadEdits) {
    PropertiesDialog& dialog = open();
    dialog.layoutForMode();
    dialog.applyNow();
    edit(T::IdMinute)->setText(QStringLiteral("45"));
    dialog.applyNow(); // reads 45
    edit(T::IdMinute)->setText(QStringLiteral("33"));

    dialog.browse(); // cancelled: nothing changes
    EXPECT_EQ(edit(T::IdMinute)->text(), QStringLiteral("33"));
    EXPECT_EQ(m_folderInstruction,
              QStringLiteral("Choice a folder with images for scan and press OK button"));

    m_folderAnswers.push_back(QStringLiteral("/photos/Holiday"));
    dialog.browse();
    EXPECT_EQ(edit(T::IdMinute)->text(), QStringLiteral("45"));
    EXPECT_EQ(edit(T::IdStartPath)->text(), QStringLiteral("/photos/Holiday"));
    EXPECT_TRUE(applyEnabled());
}

TEST_F(ApplyTest, WithoutAMainWindowApplyDoesNothing) {
    PropertiesDialog::Services services;
    services.showMessage = [](QMessageBox::Icon, const QString&, const QString&) {};
    PropertiesDialog dialog(baseSettings(), services);
    dialog.layoutForMode();
    dialog.applyNow();
    EXPECT_TRUE(dialog.control(T::IdApply)->isEnabled());
}

} // namespace
