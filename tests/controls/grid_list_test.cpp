#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "control_test_support.h"
#include "controls/grid_list.h"

namespace v36 {
namespace {

// The band grid of an equaliser page.
struct GridFixture : ::testing::Test {
    GridFixture() {
        const QStringList types{"PEQ", "LP", "HP", "LS", "HS"};
        grid.setColumns({{"", 30, CGridListCtrl::ColumnKind::ReadOnly, {}},
                         {"Type", 55, CGridListCtrl::ColumnKind::DropDown, types},
                         {"Gain", 60, CGridListCtrl::ColumnKind::Number, {}},
                         {"Freq", 60, CGridListCtrl::ColumnKind::Number, {}},
                         {"Q", 50, CGridListCtrl::ColumnKind::Number, {}}});
        grid.setRows(7);
        for (int r = 0; r < 7; ++r) {
            grid.setCellText(r, 1, QString::number(r + 1));
            grid.setCellText(r, 2, "PEQ");
            grid.setCellText(r, 3, "+0.0dB");
            grid.setCellText(r, 4, QString::number(63 << r) + "Hz");
            grid.setCellText(r, 5, "1.41");
        }
        grid.setAllRowColors(QColor(0, 200, 255), QColor(20, 20, 20));
        grid.resize(300, 200);
        grid.show();
    }
    CGridListCtrl grid;
    QSignalSpy edited{&grid, &CGridListCtrl::cellEdited};
};

TEST_F(GridFixture, TheFirstColumnIsHiddenAndTheBandNumberIsReadOnly) {
    EXPECT_EQ(grid.columnCount(), 6);
    EXPECT_TRUE(grid.isColumnHidden(0));
    EXPECT_FALSE(grid.beginEdit(2, 1));
    EXPECT_FALSE(grid.beginEdit(2, 0));
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    test::saveArtefact(test::renderControl(grid, 2.0), QStringLiteral("grid_x2"));
}

TEST_F(GridFixture, ANumberEditStartsFromTheNumberAndEndsWithTheSignal) {
    ASSERT_TRUE(grid.beginEdit(3, 3));
    auto* edit = grid.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "+0.0");
    edit->selectAll();
    QTest::keyClicks(edit, "-4.5x");  // the letter is refused
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents();  // the view commits after the key
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0][0].toInt(), 3);
    EXPECT_EQ(edited[0][1].toInt(), 3);
    EXPECT_EQ(edited[0][2].toString(), "-4.5");

    ASSERT_TRUE(grid.beginEdit(1, 4));
    edit = grid.findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    QTest::keyClick(edit, Qt::Key_Escape);  // a cancelled edit changes nothing
    QApplication::processEvents();
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(grid.cellText(1, 4), "126Hz");
}

TEST_F(GridFixture, TheTypeColumnOffersItsChoices) {
    ASSERT_TRUE(grid.beginEdit(0, 2));
    auto* combo = grid.findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 5);
    EXPECT_EQ(combo->currentText(), "PEQ");
    combo->setCurrentIndex(3);
    emit combo->activated(3);
    ASSERT_EQ(edited.count(), 1);
    EXPECT_EQ(edited[0][2].toString(), "LS");
    EXPECT_EQ(grid.cellText(0, 2), "LS");
}

TEST_F(GridFixture, RowsKeepTheirOwnColours) {
    grid.setRowColors(4, QColor(255, 200, 0), QColor(40, 40, 40));
    EXPECT_EQ(grid.rowTextColor(4), QColor(255, 200, 0));
    EXPECT_EQ(grid.item(4, 3)->foreground().color(), QColor(255, 200, 0));
    EXPECT_EQ(grid.item(4, 3)->background().color(), QColor(40, 40, 40));
    EXPECT_EQ(grid.item(5, 3)->foreground().color(), QColor(0, 200, 255));
    grid.setCellText(4, 5, "0.70");  // rewritten cells keep the row's colours
    EXPECT_EQ(grid.item(4, 5)->foreground().color(), QColor(255, 200, 0));
}

TEST(GridList, LeadingNumbersOfCellTexts) {
    EXPECT_EQ(CGridListCtrl::leadingNumber("+3.5dB"), "+3.5");
    EXPECT_EQ(CGridListCtrl::leadingNumber("1000Hz"), "1000");
    EXPECT_EQ(CGridListCtrl::leadingNumber(" .5"), ".5");
    EXPECT_EQ(CGridListCtrl::leadingNumber("PEQ"), "");
}

}  // namespace
}  // namespace v36
