// The EQ editor's filter lists and copies on the virtual unit: an import
// through its preview is one step that sends the changed bands and one undo
// takes back, an export writes the list, a copy onto another EQ is one step
// of that EQ; and how the preview looks in both languages.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/info_dialog.h"
#include "controls/eq_panel.h"
#include "controls/image_button.h"
#include "dsp/crossover.h"
#include "page_fixture.h"
#include "page_look.h"
#include "page_wire.h"
#include "pages/dialog_efx.h"
#include "pages/dialog_output.h"
#include "pages/eq_editor.h"
#include "pages/eq_import_dlg.h"
#include "protocol/eq_access.h"
#include "protocol/eq_text.h"

namespace v36::test {
namespace {

// Room measurements of two sections, with the usual header.
const char* const kTwoChannels =
    "Filter Settings file\n"
    "\n"
    "Room EQ V5.20\n"
    "Dated: 12-Mar-2024 21:04:11\n"
    "\n"
    "Notes: living room, seat 2\n"
    "\n"
    "Equaliser: Generic\n"
    "Mar 12 21:04:11 2024\n"
    "Preamp: -4.5 dB\n"
    "Channel: Left\n"
    "Filter 1: ON PK Fc 63.5 Hz Gain -6.5 dB Q 4.20\n"
    "Filter 2: ON LSC 12 dB Fc 105 Hz Gain 3.0 dB\n"
    "Filter 3: ON NO Fc 3000 Hz\n"
    "Filter 4: ON None\n"
    "Channel: Right\n"
    "Filter 1: ON PK Fc 58.0 Hz Gain -8.0 dB Q 5.00\n"
    "Filter 2: ON HS Fc 8000 Hz Gain -2.0 dB Q 0.71\n";

class EqInterchangeTest : public PageTest {
  protected:
    CEqEditor* effects(int eq, int language = kEnglish) {
        auto* page = openPage<CDialogEfx>(PageKind::Effects, eq, language);
        return page ? page->eqEditor() : nullptr;
    }
    QString writeFile(const QString& name, const QByteArray& bytes) {
        const QString path = dir_.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    // Runs `click` while a modal dialog it opens is handled by `handle`;
    // the dialog is closed afterwards if `handle` left it open.
    template <class Dialog>
    bool whileModal(const std::function<void()>& click,
                    const std::function<void(Dialog&)>& handle) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) return;
            seen = true;
            handle(*dialog);
            if (dialog->isVisible()) dialog->reject();
        });
        click();
        return seen;
    }
    void storeBand(int eq, int band, const BandRecord& record) {
        storeRecord(eqInfo(eq).bank, sectionOf(eq, band), record);
    }
    std::vector<Report> bandReports(int eq, int band, const BandRecord& r) {
        return sectionReports(eqInfo(eq).bank, sectionOf(eq, band), r.type, r.gain, r.freq, r.q);
    }
};

TEST_F(EqInterchangeTest, AnImportThroughThePreviewIsOneStepOfTheChangedBands) {
    CEqEditor* editor = effects(kEqReverbA);
    ASSERT_NE(editor, nullptr);
    // The reset set, but band 1 as the import leaves it and band 4 raised:
    // the import changes bands 2 to 4.
    for (const SectionSetting& r : resetBands(kEqReverbA))
        storeRecord(eqInfo(kEqReverbA).bank, r.section, {r.gain, r.freq, r.q, r.type});
    storeBand(kEqReverbA, 0, {-2.0f, 100, 1.41f, kPeq});
    storeBand(kEqReverbA, 3, {4.0f, 500, 1.41f, kPeq});
    editor->RefreshFromStore();
    const EqGraphModel before = editor->model();
    nextFile_ = writeFile(QStringLiteral("seat.txt"),
                          "Preamp: -3 dB\r\n"
                          "# measured at the seat\r\n"
                          "Filter 1: ON PK Fc 100 Hz Gain -2.0 dB Q 1.41\r\n"
                          "Filter 2: ON PK Fc 1000 Hz Gain 20.0 dB Q 2.0\r\n"
                          "Filter 3: ON NO Fc 3000 Hz\r\n"
                          "Filter 4: ON HSC Fc 6000 Hz Gain -4.0 dB Q 0.9\r\n");
    // Cancel leaves the EQ as it was: nothing sent, no step.
    const bool cancelled = whileModal<CEqImportDlg>(
        [&] { QTest::mouseClick(editor->importButton(), Qt::LeftButton); },
        [](CEqImportDlg& preview) { QTest::mouseClick(preview.cancelButton(), Qt::LeftButton); });
    ASSERT_TRUE(cancelled);
    settle();
    EXPECT_TRUE(sectionTraffic(unit()).empty());
    EXPECT_FALSE(app_->edits().canUndo());
    EXPECT_TRUE(changedBands(before, editor->model()).empty());

    const bool shown = whileModal<CEqImportDlg>(
        [&] { QTest::mouseClick(editor->importButton(), Qt::LeftButton); },
        [&](CEqImportDlg& preview) {
            // Nothing is sent while the preview is open.
            settle();
            EXPECT_TRUE(sectionTraffic(unit()).empty());
            QTableWidget* table = preview.lineTable();
            EXPECT_EQ(table->rowCount(), 6);
            const auto cell = [&](int line, int column) {
                return table->item(preview.rowOfLine(line), column)->text();
            };
            EXPECT_EQ(cell(3, CEqImportDlg::kBandColumn), QStringLiteral("Band 2"));
            EXPECT_EQ(cell(3, CEqImportDlg::kResultColumn),
                      QStringLiteral("PEQ 1000Hz +15.0dB Q 2.00"));
            EXPECT_TRUE(cell(3, CEqImportDlg::kNotesColumn).contains(QStringLiteral("clamped")));
            EXPECT_EQ(cell(4, CEqImportDlg::kBandColumn), QStringLiteral("Skipped"));
            EXPECT_EQ(cell(5, CEqImportDlg::kResultColumn),
                      QStringLiteral("HS 6000Hz -4.0dB Q 0.90"));
            EXPECT_FALSE(preview.channelList()->isVisible());
            EXPECT_TRUE(preview.notesLabel()->text().contains(QStringLiteral("Preamp -3")));
            EXPECT_EQ(preview.changedBands(), (std::vector<int>{1, 2, 3}));
            // The panel shows the EQ after the import.
            EXPECT_FLOAT_EQ(preview.curvePanel()->model().band(1).gain, 15.0f);
            QTest::mouseClick(preview.okButton(), Qt::LeftButton);
        });
    ASSERT_TRUE(shown);
    settle();
    EXPECT_TRUE(boxes_.empty());
    const EqGraphModel after = editor->model();
    EXPECT_EQ(fileRequests_.back().filter.contains(QStringLiteral("*.txt")), true);

    // Bands 2 to 4 of the reverb EQ as the preview showed them.
    std::vector<Report> expected;
    for (const int b : {1, 2, 3}) {
        const EqBand& a = after.band(b);
        const auto two =
            bandReports(kEqReverbA, b, {a.gain, static_cast<int>(a.freq), a.q, a.type});
        expected.insert(expected.end(), two.begin(), two.end());
    }
    EXPECT_EQ(after.band(1).gain, 15.0f);
    EXPECT_EQ(after.band(2).type, kHighShelf);
    EXPECT_EQ(after.band(3).gain, 0.0f);
    EXPECT_EQ(sectionTraffic(unit()), expected);
    EXPECT_EQ(app_->edits().undoText().en, std::string("Import CH A Reverb EQ"));

    // One undo puts the three bands back.
    unit().clearTraffic();
    app_->edits().undo();
    settle();
    expected.clear();
    for (const int b : {1, 2, 3}) {
        const EqBand& o = before.band(b);
        const auto two =
            bandReports(kEqReverbA, b, {o.gain, static_cast<int>(o.freq), o.q, o.type});
        expected.insert(expected.end(), two.begin(), two.end());
    }
    EXPECT_EQ(sectionTraffic(unit()), expected);
    EXPECT_EQ(editor->model().band(1).gain, before.band(1).gain);
    EXPECT_FALSE(app_->edits().canUndo());
}

TEST(EqImportPreview, OkSaysWhetherItSends) {
    struct Case {
        int count;
        bool connected;
        int language;
        const char* says;
    };
    const Case cases[] = {
        {10, true, kEnglish, "OK sends the 10 changed bands as one step (Undo takes it back)."},
        {1, true, kEnglish, "OK sends the changed band as one step (Undo takes it back)."},
        {10, false, kEnglish,
         "No unit is connected: OK changes the 10 changed bands here only, as one step (Undo "
         "takes it back); nothing is sent."},
        {0, false, kEnglish, "No band changes."},
        {3, false, kChinese,
         "未连接设备：确定后只在本程序中改变 3 个频段，作为一步（可撤销），不发送。"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CEqImportDlg::okText(c.count, c.connected, c.language),
                  QString::fromUtf8(c.says));
}

TEST_F(EqInterchangeTest, AFileWithoutAUsableFilterShowsWhyAndOpensNoPreview) {
    CEqEditor* editor = effects(kEqEchoA);
    ASSERT_NE(editor, nullptr);
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* says;
    };
    const Case cases[] = {
        {"binary.txt",
         QByteArray("\x7f"
                    "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0",
                    16),
         "not a text file"},
        {"notch.txt", "Filter 1: ON NO Fc 3000 Hz\nFilter 2: ON PK Fc 0 Hz Gain 3 dB Q 1\n",
         "no usable filter"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes_.clear();
        nextFile_ = writeFile(QString::fromLatin1(c.name), c.bytes);
        const bool preview = whileModal<CEqImportDlg>(
            [&] { QTest::mouseClick(editor->importButton(), Qt::LeftButton); },
            [](CEqImportDlg&) {});
        EXPECT_FALSE(preview);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_TRUE(boxes_[0].text.contains(QString::fromLatin1(c.says), Qt::CaseInsensitive))
            << boxes_[0].text.toStdString();
    }
    // More reasons than the text names: every line is in the box's details.
    QByteArray eight;
    for (int n = 1; n <= 8; ++n)
        eight += QStringLiteral("Filter %1: ON NO Fc %2 Hz\n").arg(n).arg(100 * n).toLatin1();
    boxes_.clear();
    nextFile_ = writeFile(QStringLiteral("notches.txt"), eight);
    QTest::mouseClick(editor->importButton(), Qt::LeftButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.contains(QStringLiteral("more lines")))
        << boxes_[0].text.toStdString();
    for (int n = 1; n <= 8; ++n)
        EXPECT_TRUE(boxes_[0].details.contains(QStringLiteral("Line %1:").arg(n)))
            << boxes_[0].details.toStdString();
    // A file that cannot be read says so.
    boxes_.clear();
    nextFile_ = dir_.filePath(QStringLiteral("missing.txt"));
    QTest::mouseClick(editor->importButton(), Qt::LeftButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.startsWith(QStringLiteral("Cannot read the file")));
    settle();
    EXPECT_TRUE(sectionTraffic(unit()).empty());
    EXPECT_FALSE(app_->edits().canUndo());
}

TEST_F(EqInterchangeTest, ExportWritesTheFilterListAndNamesWhatItLeavesOut) {
    CEqEditor* editor = effects(kEqEchoB);
    ASSERT_NE(editor, nullptr);
    storeBand(kEqEchoB, 0, {-3.0f, 100, 1.41f, kPeq});
    storeBand(kEqEchoB, 1, {2.5f, 200, 0.7f, kLowShelf});
    storeBand(kEqEchoB, 6, {0.0f, 8000, 0.71f, kLowPass});
    editor->RefreshFromStore();
    // An existing file is replaced.
    nextFile_ =
        writeFile(QStringLiteral("echo.txt"), "old contents that are longer than the new\n");
    QTest::mouseClick(editor->exportButton(), Qt::LeftButton);
    ASSERT_FALSE(fileRequests_.empty());
    EXPECT_TRUE(fileRequests_.back().save);
    EXPECT_EQ(fileRequests_.back().defaultSuffix, QStringLiteral("txt"));
    EXPECT_TRUE(boxes_.empty());
    QFile file(nextFile_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 9);  // preamp, seven bands, the end of the last line
    EXPECT_EQ(lines[0], "Preamp: 0.0 dB");
    EXPECT_EQ(lines[1], "Filter 1: ON PK Fc 100 Hz Gain -3.0 dB Q 1.41");
    EXPECT_EQ(lines[2], "Filter 2: ON LSC Fc 200 Hz Gain 2.5 dB Q 0.70");
    EXPECT_EQ(lines[7], "Filter 7: ON LPQ Fc 8000 Hz Q 0.71");
    EXPECT_TRUE(lines[8].isEmpty());
    EXPECT_FALSE(file.readAll().contains('\r'));

    // A file that cannot be written is reported, never announced as written.
    nextFile_ = dir_.filePath(QStringLiteral("no such folder/echo.txt"));
    QTest::mouseClick(editor->exportButton(), Qt::LeftButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].icon, QMessageBox::Warning);
    EXPECT_FALSE(boxes_[0].text.contains(QStringLiteral("written")));
    EXPECT_FALSE(QFile::exists(nextFile_));
    boxes_.clear();

    // A subwoofer crossover of odd order is listed: the format has no
    // second-order sections for it.
    app_->ShowPage(PageKind::Output, 2);
    settle();
    auto* output = qobject_cast<CDialogOutput*>(view().currentPage());
    ASSERT_NE(output, nullptr);
    CEqEditor* sub = output->eqEditor();
    int odd = -1;
    for (int f = 0; f < kCrossoverListEntries && odd < 0; ++f) {
        if (crossoverSectionQs(f).empty() && !crossoverFamily(f).label.empty()) odd = f;
    }
    ASSERT_GE(odd, 0);
    sub->applyCrossoverFamily(odd, 0);
    nextFile_ = dir_.filePath(QStringLiteral("sub.txt"));
    QTest::mouseClick(sub->exportButton(), Qt::LeftButton);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.contains(QStringLiteral("cannot be written")))
        << boxes_[0].text.toStdString();
    EXPECT_TRUE(QFile::exists(nextFile_));
}

TEST_F(EqInterchangeTest, CopyToAnotherEqIsOneStepOfThatEq) {
    CEqEditor* editor = effects(kEqReverbA);
    ASSERT_NE(editor, nullptr);
    storeBand(kEqReverbA, 0, {-5.0f, 90, 2.5f, kPeq});
    storeBand(kEqReverbA, 4, {3.0f, 3000, 0.8f, kHighShelf});
    editor->RefreshFromStore();
    EqGraphModel target;
    loadEqFromStore(store(), target, kEqEchoB);

    // The menu offers the other EQs of seven bands.
    QTest::mouseClick(editor->copyButton(), Qt::LeftButton);
    QStringList offered;
    QAction* echoB = nullptr;
    for (QAction* a : editor->copyMenu()->actions()) {
        offered << a->text();
        if (a->data().toInt() == kEqEchoB) echoB = a;
    }
    EXPECT_EQ(offered,
              (QStringList{QStringLiteral("CH A Echo EQ"), QStringLiteral("CH B Reverb EQ"),
                           QStringLiteral("CH B Echo EQ")}));
    ASSERT_NE(echoB, nullptr);
    editor->copyMenu()->hide();
    unit().clearTraffic();
    echoB->trigger();
    settle();

    std::vector<Report> expected;
    for (const auto& [band, r] : {std::pair{0, BandRecord{-5.0f, 90, 2.5f, kPeq}},
                                  std::pair{4, BandRecord{3.0f, 3000, 0.8f, kHighShelf}}}) {
        const auto two = bandReports(kEqEchoB, band, r);
        expected.insert(expected.end(), two.begin(), two.end());
    }
    EXPECT_EQ(sectionTraffic(unit()), expected);
    EXPECT_EQ(app_->edits().undoText().en, std::string("Copy CH A Reverb EQ to CH B Echo EQ"));
    EXPECT_TRUE(app_->infoDialog() &&
                app_->infoDialog()->text().contains(QStringLiteral("copied")));
    // The page still shows its own EQ, unchanged.
    EXPECT_EQ(editor->eq(), kEqReverbA);
    EXPECT_FLOAT_EQ(editor->model().band(0).gain, -5.0f);

    unit().clearTraffic();
    app_->edits().undo();
    settle();
    expected.clear();
    for (const int band : {0, 4}) {
        const EqBand& o = target.band(band);
        const auto two =
            bandReports(kEqEchoB, band, {o.gain, static_cast<int>(o.freq), o.q, o.type});
        expected.insert(expected.end(), two.begin(), two.end());
    }
    EXPECT_EQ(sectionTraffic(unit()), expected);
    EXPECT_FALSE(app_->edits().canUndo());

    // An EQ of another size is refused with the reason.
    unit().clearTraffic();
    editor->copyTo(kEqMain);
    settle();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].text.contains(QStringLiteral("same number of bands")))
        << boxes_[0].text.toStdString();
    EXPECT_TRUE(sectionTraffic(unit()).empty());
    EXPECT_FALSE(app_->edits().canUndo());

    // The main EQ has no other of its size: nothing to copy it to.
    app_->ShowPage(PageKind::Output, 5);
    settle();
    auto* output = qobject_cast<CDialogOutput*>(view().currentPage());
    ASSERT_NE(output, nullptr);
    EXPECT_FALSE(output->eqEditor()->copyButton()->isEnabled());
    app_->ShowPage(PageKind::Output, 3);
    settle();
    EXPECT_TRUE(output->eqEditor()->copyButton()->isEnabled());
}

// The preview of a file of two sections, in both languages, at its own
// size, its smallest and at twice the pixel density; picking the other
// section fits the file again.
TEST_F(EqInterchangeTest, ThePreviewLooksRightInBothLanguages) {
    for (const int language : {kChinese, kEnglish}) {
        const QString tag = language == kEnglish ? QStringLiteral("en") : QStringLiteral("zh");
        SCOPED_TRACE(tag.toStdString());
        CEqEditor* editor = effects(kEqReverbB, language);
        ASSERT_NE(editor, nullptr);
        QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
        {
            CEqImportDlg preview(*app_, QStringLiteral("living room.txt"),
                                 parseEqText(kTwoChannels), editor->model(), app_->mainFrame());
            preview.show();
            settleLayouts();
            ASSERT_TRUE(preview.result().ok());
            EXPECT_TRUE(preview.channelList()->isVisible());
            EXPECT_EQ(preview.channel(), 0);
            EXPECT_EQ(
                preview.lineTable()->item(preview.rowOfLine(16), CEqImportDlg::kBandColumn)->text(),
                CEqImportDlg::fateText(preview.parsed().lines[16],
                                       {EqTextFate::OtherChannel, -1, {}}, language));
            expectLaidOutCleanly(&preview, tag);
            EXPECT_TRUE(
                preview.grab().save(QStringLiteral(V36_ARTEFACT_DIR "/eq_import_%1.png").arg(tag)));
            savePageAt2x(preview, QStringLiteral("eq_import_%1_x2").arg(tag));

            preview.selectChannel(1);
            settleLayouts();
            EXPECT_EQ(preview.channel(), 1);
            EXPECT_EQ(preview.result().lines[12].fate, EqTextFate::OtherChannel);
            EXPECT_EQ(preview.result().lines[16].fate, EqTextFate::Band);
            preview.resize(preview.minimumSizeHint());
            settleLayouts();
            expectLaidOutCleanly(&preview, tag + QStringLiteral(" smallest"));
            EXPECT_TRUE(preview.grab().save(
                QStringLiteral(V36_ARTEFACT_DIR "/eq_import_%1_smallest.png").arg(tag)));
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test
