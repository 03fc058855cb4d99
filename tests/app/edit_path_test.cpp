// The one edit path: what an edit, its undo and its redo send; gestures and
// grouped actions as single steps; the history across pulls, unplugging and
// offline editing of mode files.
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <vector>

#include "app/edit_path.h"
#include "app/ribbon_texts.h"
#include "protocol/bytes.h"
#include "protocol/codecs.h"
#include "protocol/eq_access.h"
#include "protocol/mode_file.h"
#include "protocol/report.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

// The reports of `code` the unit received since its traffic was cleared.
std::vector<Report> receivedWith(VirtualUnit& unit, std::uint8_t code) {
    std::vector<Report> out;
    for (const Report& r : unit.received()) {
        if (r[1] == code) out.push_back(r);
    }
    return out;
}

// The single of a set-parameter report to block.index, one per report.
std::vector<float> paramValues(VirtualUnit& unit, int block, int index) {
    std::vector<float> out;
    for (const Report& r : receivedWith(unit, cmd::kSetParam)) {
        if (r[3] == block && r[4] == index) out.push_back(bitsFloat(getBE32(r.data() + 6)));
    }
    return out;
}

class EditPathTest : public ShellTest {
  protected:
    EditPath& edits() { return app_->edits(); }
    CMFCRibbonStepSlider* musicSlider() { return ribbon().slider(kRibbonIds[0].musicSlider); }
    void settle() {
        QCoreApplication::processEvents();
        app_->writer().waitIdle();
    }
    QString menuText(int id) { return ribbon().menuItem(id)->text(); }
};

TEST_F(EditPathTest, EditUndoAndRedoSendTheirBytesInOrder) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    const int before = store().params.getInt(w::musicVolume);
    view().updateCommandUI();
    EXPECT_FALSE(ribbon().menuItem(id::kUndo)->isEnabled());

    unit().clearTraffic();
    musicSlider()->setValue(42);
    settle();
    view().updateCommandUI();
    EXPECT_EQ(menuText(id::kUndo), QStringLiteral("Undo Music Vol"));
    EXPECT_TRUE(ribbon().menuItem(id::kUndo)->isEnabled());
    EXPECT_FALSE(ribbon().menuItem(id::kRedo)->isEnabled());

    view().OnCommand(id::kUndo);
    settle();
    EXPECT_EQ(store().params.getInt(w::musicVolume), before);
    EXPECT_EQ(musicSlider()->value(), before);  // the ribbon was refreshed
    EXPECT_EQ(menuText(id::kRedo), QStringLiteral("Redo Music Vol"));
    EXPECT_FALSE(ribbon().menuItem(id::kUndo)->isEnabled());

    view().OnCommand(id::kRedo);
    settle();
    EXPECT_EQ(store().params.getInt(w::musicVolume), 42);
    const std::vector<float> sent = paramValues(unit(), 4, 15);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_FLOAT_EQ(sent[0], 0.42f);
    EXPECT_FLOAT_EQ(sent[1], static_cast<float>(before) / 100.0f);
    EXPECT_FLOAT_EQ(sent[2], 0.42f);

    // A band: the record and its coefficients; the undo puts back exactly
    // the record the unit had, the redo repeats the edit's bytes.
    const auto registersBefore = unit().registers();
    EqGraphModel graph;
    loadEqFromStore(store(), graph, kEqMain);
    graph.setGain(3, -4.5f);
    graph.setQ(3, 2.345f);
    unit().clearTraffic();
    edits().apply(Edit({"均衡", "EQ band"}).band(kEqMain, graph.bands(), 3));
    settle();
    const std::vector<Report> edit = unit().received();
    ASSERT_EQ(edit.size(), 2u);  // register record, then the biquad
    EXPECT_EQ(edit[0][1], cmd::kWriteRegisters);
    EXPECT_EQ(edit[1][1], cmd::kSetParam);
    unit().clearTraffic();
    edits().undo();
    settle();
    EXPECT_EQ(unit().registers(), registersBefore);
    unit().clearTraffic();
    edits().redo();
    settle();
    EXPECT_EQ(unit().received(), edit);
}

TEST_F(EditPathTest, GesturesAndGroupedActionsAreSingleSteps) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    const int before = store().params.getInt(w::musicVolume);
    // A drag: many moves, no release.
    for (int v = 10; v <= 40; ++v)
        musicSlider()->setValue(v);
    EXPECT_EQ(edits().count(), 1);
    // The release ends the gesture once it has been handled.
    QTest::mouseRelease(musicSlider(), Qt::LeftButton);
    QCoreApplication::processEvents();
    musicSlider()->setValue(50);
    EXPECT_EQ(edits().count(), 2);
    // Another target is another step.
    ribbon().slider(kRibbonIds[0].effectSlider)->setValue(20);
    EXPECT_EQ(edits().count(), 3);
    edits().undo();
    edits().undo();
    EXPECT_EQ(store().params.getInt(w::musicVolume), 40);
    edits().undo();
    EXPECT_EQ(store().params.getInt(w::musicVolume), before);

    // A reset of the main EQ: every section and the music mute around it,
    // one step; its undo puts every record back.
    settle();
    const auto registersBefore = store().registers.snapshot();
    Edit reset({"重置均衡", "Reset EQ"});
    const std::vector<SectionSetting> sections = resetBands(kEqMain);
    reset.sections(eqInfo(kEqMain).bank, sections).wrapInMusicMute();
    unit().clearTraffic();
    edits().apply(std::move(reset));
    settle();
    EXPECT_EQ(edits().stack().index(), 1);  // the undone steps went
    EXPECT_FALSE(edits().canRedo());
    const std::vector<float> mute = paramValues(unit(), 4, 16);
    ASSERT_GE(mute.size(), 2u);
    EXPECT_FLOAT_EQ(mute.front(), 0.0f);  // muted first, faded in after
    EXPECT_FLOAT_EQ(mute.back(), 1.0f);
    EXPECT_EQ(receivedWith(unit(), cmd::kWriteRegisters).size(), sections.size());
    edits().undo();
    EXPECT_EQ(store().registers.snapshot(), registersBefore);
}

// Several items of one block in one step (every trim of a recomputed sound
// field, the room written twice): the undo leaves the unit with the blocks
// the edit found, and the redo with the edit's last ones.
TEST_F(EditPathTest, UndoOfManyItemsOfOneBlockPutsBackTheBlockTheEditFound) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    const auto before = unit().registers();
    SoundFieldGeometry g = store().soundField.get();
    Edit edit({"声场", "Sound field"});
    g.listenerY = 1.0f;
    edit.soundField(g);
    g.listenerX = -1.0f;
    edit.soundField(g);
    for (int k = 0; k < 8; ++k)
        edit.speakerLevel(k, -1.5f * static_cast<float>(k + 1));
    edits().apply(std::move(edit));
    settle();
    const auto after = unit().registers();
    EXPECT_EQ(after[1141 + 2], 0x8A);  // listener X -1.0
    EXPECT_EQ(bitsFloat(getBE32(after.data() + 1161 + 28)), -12.0f);

    edits().undo();
    settle();
    EXPECT_EQ(unit().registers(), before);
    const std::uint32_t trim0 = speakerLevelWords(store().speakerLevel(0))[1];
    EXPECT_EQ(unit().paramWords(5, 42)[1], trim0);
    edits().redo();
    settle();
    EXPECT_EQ(unit().registers(), after);
}

TEST_F(EditPathTest, PullClearsTheHistory) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    musicSlider()->setValue(33);
    ASSERT_EQ(edits().count(), 1);
    app_->startPullWithDialog();
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(edits().count(), 0);
    EXPECT_FALSE(edits().canUndo());
}

TEST_F(EditPathTest, EditWhileUnpluggedIsPushedAndUndoneOnceTheUnitIsBack) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    const int before = store().params.getInt(w::effectVolume);
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    unit().clearTraffic();
    ribbon().slider(kRibbonIds[0].effectSlider)->setValue(30);
    settle();
    EXPECT_TRUE(unit().received().empty());  // recorded, not sent
    EXPECT_EQ(edits().count(), 1);
    EXPECT_TRUE(app_->hasUnsavedOfflineEdits());

    // On arrival the user chooses to push the edits to the unit.
    answer_ = QMessageBox::Apply;
    unit().plugIn();
    ASSERT_TRUE(waitUntil([this] { return idleConnected() && !boxes_.empty(); }));
    ASSERT_TRUE(waitUntil([this] { return idleConnected(); }));
    settle();
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(store().params.getInt(w::effectVolume), 30);
    ASSERT_FALSE(unit().paramWords(1, 32).empty());
    EXPECT_FLOAT_EQ(bitsFloat(unit().paramWords(1, 32)[0]), 0.30f);
    ASSERT_EQ(edits().count(), 1);

    unit().clearTraffic();
    edits().undo();
    settle();
    const std::vector<float> sent = paramValues(unit(), 1, 32);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_FLOAT_EQ(sent[0], static_cast<float>(before) / 100.0f);
}

TEST_F(EditPathTest, ModeFilesAreEditedWithoutAUnit) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    // A file to work on.
    store().params.setInt(w::effectVolume, 44);
    const QString file = dir_.filePath(QStringLiteral("club.ev36"));
    ASSERT_TRUE(saveModeFile(store(), std::filesystem::path(file.toStdString())));
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    store().params.setInt(w::effectVolume, 1);

    nextFile_ = file;
    view().OnCommand(id::kOpen);
    EXPECT_EQ(store().params.getInt(w::effectVolume), 44);
    EXPECT_EQ(app_->documentPath(), QFileInfo(file).absoluteFilePath());
    QMainWindow* frame = app_->mainFrame();
    EXPECT_TRUE(frame->windowTitle().startsWith(QStringLiteral("club.ev36[*]")));
    EXPECT_FALSE(frame->isWindowModified());
    EXPECT_EQ(ribbon().slider(kRibbonIds[0].effectSlider)->value(), 44);

    ribbon().slider(kRibbonIds[0].effectSlider)->setValue(12);
    EXPECT_TRUE(frame->isWindowModified());
    fileRequests_.clear();
    view().OnCommand(id::kSave);
    ASSERT_EQ(fileRequests_.size(), 1u);
    EXPECT_EQ(fileRequests_[0].defaultName, QFileInfo(file).absoluteFilePath());
    EXPECT_FALSE(frame->isWindowModified());
    EXPECT_FALSE(app_->hasUnsavedOfflineEdits());
    ParamStore reread;
    ASSERT_TRUE(loadModeFile(reread, std::filesystem::path(file.toStdString())));
    EXPECT_EQ(reread.params.getInt(w::effectVolume), 12);
    EXPECT_TRUE(boxes_.empty());

    // A file that is not a mode file is refused with a word.
    const QString text = dir_.filePath(QStringLiteral("notes.txt"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("hello");
    }
    EXPECT_FALSE(app_->OpenDocumentFile(text));
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, QStringLiteral("\"notes.txt\" is not a mode file (.ev36)."));

    // The unit comes back: the saved document ends and the unit is pulled
    // without a question.
    unit().plugIn();
    ASSERT_TRUE(waitUntil([this] { return idleConnected(); }));
    EXPECT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(app_->documentPath().isEmpty());
    EXPECT_FALSE(frame->windowTitle().contains(QStringLiteral("club")));
}

TEST_F(EditPathTest, DefaultModeNameAppliesToEveryWayAFileIsOpened) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    const QString file = dir_.filePath(QStringLiteral("m3 party.ev36"));
    ASSERT_TRUE(saveModeFile(store(), std::filesystem::path(file.toStdString())));
    unit().clearTraffic();
    EXPECT_TRUE(app_->OpenDocumentFile(file));
    ASSERT_TRUE(waitIdleConnected());
    app_->writer().waitIdle();
    EXPECT_EQ(unit().currentMode(), 2);
    EXPECT_EQ(app_->defaultMode().pendingStoreMode, -1);
}

}  // namespace
}  // namespace v36::test
