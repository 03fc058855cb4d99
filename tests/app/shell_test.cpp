// The application on the virtual unit: connection, identity, ribbon,
// language, mode files, removal and arrival.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <filesystem>

#include "app/about_dialog.h"
#include "app/file_path.h"
#include "app/info_dialog.h"
#include "app/ribbon_texts.h"
#include "app/sync_dialog.h"
#include "protocol/bytes.h"
#include "protocol/mode_file.h"
#include "protocol/report.h"
#include "protocol/words.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

float unitFloat(VirtualUnit& unit, int block, int index) {
    const auto words = unit.paramWords(block, index);
    return words.empty() ? -1.0f : bitsFloat(words[0]);
}

TEST_F(ShellTest, StartPullsTheUnitAndShowsItsState) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(pane(id::kPaneUsb), QStringLiteral("USB:Connected"));
    EXPECT_EQ(app_->mainFrame()->statusPanes()->pane(id::kPaneUsb)->textColor(), QColor(0, 150, 0));
    EXPECT_EQ(pane(id::kPaneMode), QStringLiteral("Current Mode:Mode1[KTV]"));
    EXPECT_EQ(view().noticeText(), QStringLiteral("Device connected!"));
    EXPECT_TRUE(view().levelPollRunning());

    // The ribbon shows the unit's volumes, in both categories.
    const int mic = static_cast<int>(unitFloat(unit(), 1, 30) * 100.0f + 0.5f);
    const int music = static_cast<int>(unitFloat(unit(), 4, 15) * 100.0f + 0.5f);
    EXPECT_EQ(store().params.getInt(w::micVolume), mic);
    for (const RibbonIds& ids : kRibbonIds) {
        EXPECT_EQ(ribbon().slider(ids.micSlider)->value(), mic);
        EXPECT_EQ(ribbon().slider(ids.musicSlider)->value(), music);
        EXPECT_EQ(ribbon().elementText(ids.micLabel), volumeLabel(VolumeControl::Mic, 1, mic));
    }
    // A ribbon built in English names its first panel with one blank.
    EXPECT_EQ(ribbon().panelName(0, 0), QStringLiteral("Mic Vol"));
    EXPECT_EQ(ribbon().panelName(0, kPitchPanel),
              pitchCaptionRefresh(1, store().params.getInt(w::musicPitch)));
}

TEST_F(ShellTest, UnitOfAnotherModelOrProtocolIsRejectedAndDisconnected) {
    // The Chinese window keeps its own texts; the English one names what
    // the unit told.
    struct Case {
        const char* model;
        std::uint8_t protocol;
        int language;
        const char* caption;
        const char* message;
    };
    const Case cases[] = {
        {"V35", 12, kChinese, "错误", "机器型号与软件不匹配!"},
        {"v36", 8, kChinese, "错误", "机器与软件通信版本不匹配，请使用机器配套软件!"},
        {"V35", 12, kEnglish, "Error",
         "The unit reports model \"V35\", not V36; this program controls V36 units only"},
        {"v36", 8, kEnglish, "Error",
         "The unit speaks protocol 8; this program speaks protocol 12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + (c.language == kEnglish ? " en" : " zh"));
        VirtualUnitConfig config;
        config.model = c.model;
        config.protocolVersion = c.protocol;
        start(config, c.language);
        ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
        EXPECT_EQ(boxes_[0].caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(boxes_[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(boxes_[0].icon, QMessageBox::Critical);
        EXPECT_EQ(app_->syncDialog(), nullptr);  // ended before the box
        ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
        EXPECT_TRUE(unit().waitForReceived(cmd::kDisconnect, 1, std::chrono::seconds(2)));
        view().updateCommandUI();
        EXPECT_EQ(pane(id::kPaneUsb), c.language == kEnglish ? QStringLiteral("USB:Disconnected")
                                                             : QString::fromUtf8("USB：未连接"));
        EXPECT_FALSE(view().levelPollRunning());
        EXPECT_FALSE(ribbon().element(id::kMusicAgc)->isEnabled());
        stop();
        boxes_.clear();
    }
}

// A tool dialog with two labelled controls, standing in for the music AGC
// dialog of a later build.
class TestAgcDialog : public CToolDialog {
  public:
    TestAgcDialog(CAppServices& app, QWidget* parent)
        : CToolDialog(ToolDialog::MusicAgc, app, parent) {
        auto* layout = new QVBoxLayout(this);
        level = new QLabel(QStringLiteral("?"), this);
        setControlId(level, 1123);
        on = new QCheckBox(QStringLiteral("?"), this);
        setControlId(on, 1045);
        layout->addWidget(level);
        layout->addWidget(on);
    }
    QLabel* level;
    QCheckBox* on;
};

TEST_F(ShellTest, LanguageSwitchRelabelsRibbonAndOpenDialogs) {
    UiFactories factories;
    factories.toolDialog = [](ToolDialog kind, CAppServices& app, QWidget* parent) -> CToolDialog* {
        return kind == ToolDialog::MusicAgc ? new TestAgcDialog(app, parent) : nullptr;
    };
    start({}, kChinese, factories);
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(ribbon().panelName(0, 6), QString::fromUtf8("话筒1状态"));
    auto* dialog = static_cast<TestAgcDialog*>(app_->showToolDialog(ToolDialog::MusicAgc));
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("音乐AGC"));
    EXPECT_EQ(dialog->level->text(), QString::fromUtf8("AGC电平"));

    view().OnCommand(id::kLanguage);
    EXPECT_EQ(app_->languageIndex(), kEnglish);
    EXPECT_EQ(ribbon().categoryName(0), QStringLiteral("Input"));
    EXPECT_EQ(ribbon().categoryName(1), QStringLiteral("Output"));
    EXPECT_EQ(ribbon().panelName(1, 0), QStringLiteral("Mic  Vol"));  // two blanks after a switch
    const int pitch = store().params.getInt(w::musicPitch);
    EXPECT_EQ(ribbon().panelName(0, kPitchPanel), QStringLiteral("Music Pitch:%1").arg(pitch));
    EXPECT_EQ(ribbon().recentFilesCaption(), QString::fromUtf8("Last documents(最近的文档)"));
    // The dialogs of F6 and F7 are in the menu, their keys beside them.
    EXPECT_EQ(ribbon().menuItem(id::kNoiseGate)->text(), QStringLiteral("Noise gate setting\tF6"));
    EXPECT_EQ(ribbon().menuItem(id::kMachineSettings)->text(), QStringLiteral("Host Setting\tF7"));
    EXPECT_TRUE(ribbon().menuItem(id::kMachineSettings)->isEnabled());
    EXPECT_EQ(ribbon().elementText(kRibbonIds[1].loadFile), QStringLiteral("LoadFile"));
    // The switch writes the noise gate's label with one blank; a move, three.
    const int gate = store().params.getInt(w::musicGateThreshold);
    EXPECT_EQ(ribbon().elementText(kRibbonIds[0].gateLabel),
              QStringLiteral("Noisegate: %1").arg(gate, 3));
    EXPECT_EQ(ribbon().elementText(id::kOpen), QStringLiteral("Open(&O)"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Music AGC"));
    EXPECT_EQ(dialog->level->text(), QStringLiteral("AGC Level"));
    EXPECT_EQ(dialog->on->text(), QStringLiteral("ON"));
    EXPECT_EQ(pane(id::kPaneUsb), QStringLiteral("USB:Connected"));
    EXPECT_EQ(QSettings(dir_.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
                  .value(QStringLiteral("language"))
                  .toInt(),
              kEnglish);

    view().OnCommand(id::kLanguage);
    EXPECT_EQ(ribbon().categoryName(0), QString::fromUtf8("输入控制"));
    EXPECT_EQ(ribbon().panelName(0, 6), QString::fromUtf8("话筒 1 状态"));
    // There and back: the pitch caption and the recent caption as they were.
    EXPECT_EQ(ribbon().panelName(0, kPitchPanel), QString::fromUtf8("音乐变调:%1").arg(pitch));
    EXPECT_EQ(ribbon().recentFilesCaption(), QString::fromUtf8("最近的文档(Last documents)"));
    EXPECT_EQ(ribbon().menuItem(id::kNoiseGate)->text(), QString::fromUtf8("噪声门设置\tF6"));
    EXPECT_EQ(dialog->level->text(), QString::fromUtf8("AGC电平"));
    EXPECT_EQ(pane(id::kPaneUsb), QString::fromUtf8("USB：已连接"));
}

TEST_F(ShellTest, SliderCopiesFollowEachOtherAndReachTheUnit) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    // The Output category's slider counts while that category is active.
    ribbon().setActiveCategory(kOutputCategory);
    ribbon().slider(kRibbonIds[1].effectSlider)->setValue(42);
    EXPECT_EQ(ribbon().slider(kRibbonIds[0].effectSlider)->value(), 42);
    EXPECT_EQ(ribbon().elementText(kRibbonIds[0].effectLabel), QStringLiteral("Effect    Vol: 42"));
    EXPECT_EQ(store().params.getInt(w::effectVolume), 42);

    ribbon().setActiveCategory(kInputCategory);
    ribbon().slider(kRibbonIds[0].pitchSlider)->setValue(-2);
    EXPECT_EQ(ribbon().slider(kRibbonIds[1].pitchSlider)->value(), -2);
    EXPECT_EQ(ribbon().panelName(0, kPitchPanel), QStringLiteral("Music Pitch: -2"));

    // A click on the channel steps by exactly one, towards the click.
    CMFCRibbonStepSlider* gate = ribbon().slider(kRibbonIds[0].gateSlider);
    gate->setPos(50);
    QTest::mouseClick(gate, Qt::LeftButton, Qt::NoModifier,
                      QPoint(gate->width() - 2, gate->height() / 2));
    EXPECT_EQ(gate->value(), 51);
    EXPECT_EQ(ribbon().slider(kRibbonIds[1].gateSlider)->value(), 51);
    EXPECT_EQ(ribbon().elementText(kRibbonIds[1].gateLabel), QStringLiteral("Noisegate:    51"));
    QTest::mouseClick(gate, Qt::LeftButton, Qt::NoModifier, QPoint(2, gate->height() / 2));
    EXPECT_EQ(ribbon().slider(kRibbonIds[1].gateSlider)->value(), 50);

    app_->writer().waitIdle();
    EXPECT_FLOAT_EQ(unitFloat(unit(), 1, 32), 0.42f);
    EXPECT_FLOAT_EQ(unitFloat(unit(), 1, 45), 0.42f);
    EXPECT_EQ(unit().paramWords(4, 20).at(0), 3u);  // pitch -2 travels as 3
}

TEST_F(ShellTest, VolumeAboveTheLimitIsCutWithItsMessage) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    struct Case {
        int inputSlider, outputSlider;
        std::size_t limitByte;
        int block, index;
        const char* message;
    };
    const Case cases[] = {
        {kRibbonIds[0].micSlider, kRibbonIds[1].micSlider, 5, 1, 30,
         "Mic vol can't over max value!"},
        {kRibbonIds[0].musicSlider, kRibbonIds[1].musicSlider, 6, 4, 15,
         "Music vol can't over max value!"},
    };
    ribbon().setActiveCategory(kOutputCategory);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        store().settingsApplied.set(c.limitByte, 70);
        ribbon().slider(c.outputSlider)->setValue(80);
        ASSERT_NE(app_->infoDialog(), nullptr);
        EXPECT_EQ(app_->infoDialog()->text(), QString::fromUtf8(c.message));
        EXPECT_EQ(ribbon().slider(c.inputSlider)->value(), 70);
        EXPECT_EQ(ribbon().slider(c.outputSlider)->value(), 70);
        app_->writer().waitIdle();
        EXPECT_FLOAT_EQ(unitFloat(unit(), c.block, c.index), 0.70f);
    }
    // Under the limit nothing is said; a mute hint shows while muted.
    app_->infoDialog()->close();
    QCoreApplication::processEvents();
    ribbon().slider(kRibbonIds[1].micSlider)->setValue(60);
    EXPECT_EQ(app_->infoDialog(), nullptr);
    view().OnCommand(kRibbonIds[1].micMute);
    EXPECT_TRUE(ribbon().isChecked(kRibbonIds[0].micMute));
    ribbon().slider(kRibbonIds[1].micSlider)->setValue(61);
    ASSERT_NE(app_->infoDialog(), nullptr);
    EXPECT_EQ(app_->infoDialog()->text(), QStringLiteral("vol is mute"));
    app_->writer().waitIdle();
    EXPECT_FLOAT_EQ(unitFloat(unit(), 1, 42), 0.0f);
}

TEST_F(ShellTest, WithoutAUnitTheVolumesHaveNoLimit) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    store().settingsApplied.set(6, 70);
    // The unit goes: a mode file edited now carries no machine settings.
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    ribbon().slider(kRibbonIds[0].musicSlider)->setValue(85);
    EXPECT_EQ(store().params.getInt(w::musicVolume), 85);
    EXPECT_EQ(ribbon().slider(kRibbonIds[0].musicSlider)->value(), 85);
    EXPECT_EQ(app_->infoDialog(), nullptr);
    // Back with a unit, its limit applies again once its settings are read.
    unit().plugIn();
    ASSERT_TRUE(waitIdleConnected());
    store().settingsApplied.set(6, 70);
    ribbon().slider(kRibbonIds[0].musicSlider)->setValue(90);
    EXPECT_EQ(store().params.getInt(w::musicVolume), 70);
}

TEST_F(ShellTest, ModeFilesSaveAndLoadThroughTheView) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    store().params.setInt(w::effectVolume, 33);
    const QString saved = dir_.filePath(QStringLiteral("name.ev36"));
    nextFile_ = saved;
    unit().clearTraffic();
    view().OnCommand(id::kSave);
    ASSERT_EQ(fileRequests_.size(), 1u);
    EXPECT_TRUE(fileRequests_[0].save);
    EXPECT_EQ(fileRequests_[0].defaultName, QStringLiteral("name"));
    EXPECT_EQ(QFileInfo(saved).size(), static_cast<qint64>(kModeFileSizeV2));
    EXPECT_TRUE(unit().waitForReceived(cmd::kStoreMode, 1, std::chrono::seconds(2)));
    EXPECT_EQ(app_->recentFiles().value(0), QFileInfo(saved).absoluteFilePath());

    // A default-mode name: pushed, then stored into M2.
    const QString m2 = dir_.filePath(QStringLiteral("M2 living room.ev36"));
    ASSERT_TRUE(QFile::copy(saved, m2));
    store().params.setInt(w::effectVolume, 5);
    nextFile_ = m2;
    unit().clearTraffic();
    view().OnCommand(kRibbonIds[0].loadFile);
    ASSERT_TRUE(waitIdleConnected());
    app_->writer().waitIdle();
    EXPECT_EQ(store().params.getInt(w::effectVolume), 33);
    EXPECT_FLOAT_EQ(unitFloat(unit(), 1, 32), 0.33f);
    EXPECT_EQ(unit().currentMode(), 1);
    EXPECT_EQ(app_->defaultMode().pendingStoreMode, -1);
    EXPECT_TRUE(boxes_.empty());

    // A file the reader refuses: its box, no push, nothing pending.
    const QString bad = dir_.filePath(QStringLiteral("m3 broken.ev36"));
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\x02\x00\x00\x00short", 9);
    }
    nextFile_ = bad;
    unit().clearTraffic();
    EXPECT_FALSE(view().loadModeFile(bad));
    EXPECT_EQ(app_->defaultMode().pendingStoreMode, -1);
    EXPECT_FALSE(app_->sync().busy());
    EXPECT_NE(app_->recentFiles().value(0), QFileInfo(bad).absoluteFilePath());

    // Without a unit the file opens for editing, with nothing sent.
    fileRequests_.clear();
    app_->device().closeLink();
    nextFile_ = saved;
    view().OnCommand(id::kOpen);
    EXPECT_EQ(fileRequests_.size(), 1u);
    EXPECT_EQ(app_->documentPath(), QFileInfo(saved).absoluteFilePath());
    EXPECT_FALSE(app_->sync().busy());
}

TEST_F(ShellTest, RemovalAndArrivalOfTheUnit) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    unit().unplug();
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
    ASSERT_TRUE(waitUntil([this] { return view().noticeText() == "Device Disconnected!"; }));
    view().updateCommandUI();
    EXPECT_EQ(pane(id::kPaneUsb), QStringLiteral("USB:Disconnected"));
    EXPECT_FALSE(view().levelPollRunning());

    unit().clearTraffic();
    unit().plugIn();
    ASSERT_TRUE(waitUntil([this] { return view().noticeText() == "Device connected!"; }));
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_TRUE(unit().waitForReceived(cmd::kQueryModel, 1, std::chrono::seconds(1)));
    EXPECT_EQ(pane(id::kPaneUsb), QStringLiteral("USB:Connected"));
    EXPECT_TRUE(view().levelPollRunning());
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ShellTest, UnplugDuringThePullEndsItWithoutAHang) {
    VirtualUnitConfig slow;
    slow.latency = std::chrono::milliseconds(3);
    // The dialog's own loop runs the pull: the unit goes from inside it.
    bool unplugged = false;
    QTimer unplugger;
    QObject::connect(&unplugger, &QTimer::timeout, [&] {
        CSynDlg* d = app_->syncDialog();
        if (unplugged || !d || d->progressValue() <= 20) return;
        unplugged = true;
        unit().unplug();
    });
    unplugger.start(2);
    start(slow);
    ASSERT_TRUE(waitUntil([&] { return unplugged; }));
    ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }, 3000));
    ASSERT_TRUE(waitUntil([this] { return !app_->sync().busy() && !app_->syncDialog(); }, 5000));
    EXPECT_FALSE(view().levelPollRunning());
    EXPECT_EQ(view().noticeText(), QStringLiteral("Device Disconnected!"));
    EXPECT_TRUE(boxes_.empty());  // the removal says what happened

    unit().setLatency(std::chrono::microseconds(200));
    unit().plugIn();
    ASSERT_TRUE(waitUntil([this] { return view().noticeText() == "Device connected!"; }));
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_TRUE(view().levelPollRunning());
}

TEST_F(ShellTest, MainWindowRendersInBothLanguages) {
    for (int lang : {kChinese, kEnglish}) {
        start({}, lang);
        ASSERT_TRUE(waitIdleConnected());
        CMainFrame* frame = app_->mainFrame();
        frame->resize(CMainFrame::kMinWidth, CMainFrame::kMinHeight);
        EXPECT_GE(frame->minimumWidth(), CMainFrame::kMinWidth);
        EXPECT_GE(frame->minimumHeight(), CMainFrame::kMinHeight);
        view().updateCommandUI();
        QCoreApplication::processEvents();
        const QImage image = frame->grab().toImage();
        EXPECT_EQ(image.width(), CMainFrame::kMinWidth);
        QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
        EXPECT_TRUE(image.save(QStringLiteral(V36_ARTEFACT_DIR "/main_window_%1.png")
                                   .arg(lang == kEnglish ? "en" : "zh")));
        // The small dialogs, as a person sees them.
        const char* suffix = lang == kEnglish ? "en" : "zh";
        {
            CSynDlg sync(QString(), lang, 30000, frame);
            sync.setProgress(60, 180);
            EXPECT_TRUE(sync.grab().save(
                QStringLiteral(V36_ARTEFACT_DIR "/sync_dialog_%1.png").arg(suffix)));
            sync.end();
            app_->ShowInfo(lang == kEnglish ? QStringLiteral("Please connect device!")
                                            : QString::fromUtf8("请先连接设备!"),
                           1100);
            EXPECT_TRUE(app_->infoDialog()->grab().save(
                QStringLiteral(V36_ARTEFACT_DIR "/info_dialog_%1.png").arg(suffix)));
            CAboutDlg about(*app_, frame);
            QKeyEvent reveal(QEvent::KeyRelease, Qt::Key_F11,
                             Qt::ControlModifier | Qt::ShiftModifier);
            QCoreApplication::sendEvent(&about, &reveal);
            EXPECT_TRUE(about.revealed());
            about.adjustSize();
            EXPECT_TRUE(about.grab().save(
                QStringLiteral(V36_ARTEFACT_DIR "/about_dialog_%1.png").arg(suffix)));
        }
        stop();
    }
}

}  // namespace
}  // namespace v36::test

namespace v36::test {
namespace {

TEST_F(ShellTest, ClosingAsksToSaveOnlyAfterChangesAndSaysGoodbye) {
    struct Case {
        bool changed;
        QMessageBox::StandardButton answer;
        bool chooseFile;
        bool closes;
        bool stores;
    };
    const Case cases[] = {
        {false, QMessageBox::Yes, true, true, false},     // nothing to ask
        {true, QMessageBox::Cancel, true, false, false},  // stays open
        {true, QMessageBox::Yes, false, true, false},     // file dialog cancelled: no store
        {true, QMessageBox::Yes, true, true, true},       // file written and mode stored
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n++);
        start();
        ASSERT_TRUE(waitIdleConnected());
        app_->device().dispatcher.paramsChanged.store(c.changed ? 1 : 0);
        answer_ = c.answer;
        const QString file = dir_.filePath(QStringLiteral("preset%1.ev36").arg(n));
        nextFile_ = c.chooseFile ? file : QString();
        unit().clearTraffic();
        app_->mainFrame()->close();
        EXPECT_EQ(boxes_.size(), c.changed ? 1u : 0u);
        if (c.changed) {
            EXPECT_EQ(boxes_[0].caption, QStringLiteral("Save?"));
        }
        EXPECT_EQ(!app_->mainFrame()->isVisible(), c.closes);
        EXPECT_EQ(QFileInfo::exists(file), c.stores);
        if (c.closes) {
            EXPECT_FALSE(app_->isConnected());
            const auto sent = unit().received();
            const bool stored = std::any_of(
                sent.begin(), sent.end(), [](const Report& r) { return r[1] == cmd::kStoreMode; });
            EXPECT_EQ(stored, c.stores);
            ASSERT_FALSE(sent.empty());
            EXPECT_EQ(sent.back()[1], cmd::kDisconnect);
        }
        answer_ = QMessageBox::No;
        stop();
        boxes_.clear();
    }
}

TEST_F(ShellTest, WheelOverTheRibbonStepsBothCopies) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    store().settingsApplied.set(5, 99);
    ribbon().slider(kRibbonIds[0].micSlider)->setValue(50);
    QWidget* panel = ribbon().panelWidget(0, 0);
    const QPointF local(panel->width() / 2.0, panel->height() / 2.0);
    QWheelEvent down(local, panel->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(panel, &down);
    EXPECT_EQ(store().params.getInt(w::micVolume), 49);
    EXPECT_EQ(ribbon().slider(kRibbonIds[1].micSlider)->value(), 49);
    // The tabs never switch by wheel.
    QWheelEvent up(local, panel->mapToGlobal(local), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(ribbon().slider(kRibbonIds[0].pitchSlider), &up);
    EXPECT_EQ(ribbon().activeCategory(), kInputCategory);
}

}  // namespace
}  // namespace v36::test

namespace v36::test {
namespace {

TEST_F(ShellTest, SyncDialogShowsTrueProgressAndEndsItselfAfterItsTime) {
    // A slow unit: the pull outlasts a short time-out.
    VirtualUnitConfig slow;
    slow.latency = std::chrono::milliseconds(4);
    start(slow, kEnglish, {}, 300);
    int largestMaximum = 0;
    int largestValue = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        if (CSynDlg* d = app_->syncDialog()) {
            largestMaximum = std::max(largestMaximum, d->progressMaximum());
            largestValue = std::max(largestValue, d->progressValue());
        }
    });
    sampler.start(5);
    ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
    // The English window says it in English.
    EXPECT_EQ(boxes_[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes_[0].text, QStringLiteral("The unit could not be synchronised in time."));
    EXPECT_EQ(app_->syncDialog(), nullptr);
    EXPECT_TRUE(app_->sync().busy());  // the pull goes on
    EXPECT_GE(largestMaximum, SyncWorker::kPullReports);
    EXPECT_GT(largestValue, 0);
    // It still completes and the unit is accepted.
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(ShellTest, DefaultModeFileIsStoredAfterItsPushNotAfterAPullStillRunning) {
    VirtualUnitConfig slow;
    slow.latency = std::chrono::milliseconds(4);
    start(slow, kEnglish, {}, 300);
    // The pull outlasts its dialog; the file is loaded while it still runs.
    ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
    ASSERT_TRUE(app_->sync().busy());
    const QString m2 = dir_.filePath(QStringLiteral("m2 party.ev36"));
    ASSERT_TRUE(saveModeFile(store(), v36::filePath(m2)));
    unit().clearTraffic();
    ASSERT_TRUE(view().loadModeFile(m2));
    ASSERT_TRUE(waitUntil([this] { return !app_->sync().busy(); }, 60000));
    app_->writer().waitIdle();

    const auto sent = unit().received();
    auto last = [&](std::uint8_t code) {
        const auto it = std::find_if(sent.rbegin(), sent.rend(),
                                     [code](const Report& r) { return r[1] == code; });
        return it == sent.rend() ? -1 : static_cast<int>(sent.rend() - it) - 1;
    };
    const int setMode = last(cmd::kSetMode);
    ASSERT_GE(setMode, 0);
    // The push ends with the music source and the HDMI input.
    EXPECT_GT(setMode, last(cmd::kSetHdmi));
    EXPECT_GT(last(cmd::kStoreMode), setMode);
    EXPECT_EQ(unit().currentMode(), 1);
    EXPECT_EQ(app_->defaultMode().pendingStoreMode, -1);
}

TEST_F(ShellTest, RefusedUnitLeavesNoDefaultModePending) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    // A push of an "m2" file ends on a unit that is refused: the mode is
    // dropped, so a later accepted push does not store into M2.
    app_->defaultMode().pendingStoreMode = 1;
    store().deviceModel.set(u"X99");
    app_->connection().handleSyncDone(SyncKind::Push);
    EXPECT_EQ(app_->defaultMode().pendingStoreMode, -1);
    ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
    EXPECT_EQ(boxes_[0].text,
              QStringLiteral("The unit reports model \"X99\", not V36; this program controls V36 "
                             "units only"));
}

TEST_F(ShellTest, ParameterErrorOfTheUnitIsShownOnce) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    for (int i = 0; i < 2; ++i) {
        Report error = makeReport(cmd::kReadParam);
        error[2] = 0x05;
        error[3] = 0x01;
        error[4] = 0x1E;
        unit().sendReport(error);
    }
    ASSERT_TRUE(waitUntil([this] { return !boxes_.empty(); }));
    waitUntil([] { return false; }, 100);
    ASSERT_EQ(boxes_.size(), 1u);
    // In the window's language: the codes the unit sent, in English words.
    EXPECT_EQ(boxes_[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(boxes_[0].text,
              QStringLiteral(
                  "The unit reports a parameter error: code 0x05, command bytes 0x01 and 0x1E."));
}

}  // namespace
}  // namespace v36::test
