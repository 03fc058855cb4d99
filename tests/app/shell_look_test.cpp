// The shell as a person sees it: the ribbon's layout at the smallest window,
// the window's place kept between runs, hover and disabled looks, menus,
// tooltips, the standard dialogs' language and where notices appear.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>

#include "app/info_dialog.h"
#include "app/ribbon_texts.h"
#include "shell_fixture.h"

namespace v36::test {
namespace {

// Lays out whatever asked for it, without running the view's timers.
void settleLayouts() {
    for (int i = 0; i < 4; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

QRect rectIn(const QWidget* w, const QWidget* ancestor) {
    return QRect(w->mapTo(ancestor, QPoint(0, 0)), w->size());
}

// Widgets that show a text need the room their text asks for.
bool showsText(const QWidget* w) {
    return qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w);
}

// Every panel of the active category lies inside the ribbon, and every
// control of a panel inside its panel with the room it asks for.
void expectPanelsWhole(CMyMFCRibbonBar& ribbon, const QString& state) {
    const int category = ribbon.activeCategory();
    for (int p = 0; p < kPanelCount; ++p) {
        SCOPED_TRACE(QStringLiteral("%1, category %2, panel %3 (%4)")
                         .arg(state)
                         .arg(category)
                         .arg(p)
                         .arg(ribbon.panelName(category, p))
                         .toStdString());
        QWidget* panel = ribbon.panelWidget(category, p);
        ASSERT_NE(panel, nullptr);
        EXPECT_TRUE(ribbon.rect().contains(rectIn(panel, &ribbon)));
        for (QWidget* child : panel->findChildren<QWidget*>()) {
            if (!child->isVisibleTo(panel)) continue;
            const QRect r = rectIn(child, panel);
            EXPECT_TRUE(panel->rect().contains(r))
                << child->metaObject()->className() << " at " << r.x() << "," << r.y() << " "
                << r.width() << "x" << r.height() << " outside its panel of " << panel->width()
                << "x" << panel->height();
            if (showsText(child)) {
                EXPECT_GE(child->width(), child->sizeHint().width())
                    << child->metaObject()->className() << " "
                    << child->property("text").toString().toStdString();
            }
        }
    }
}

// The widest texts the ribbon's labels take: every bar level of the
// microphone status, full volumes and both ends of the pitch.
void expectRibbonWhole(CMyMFCRibbonBar& ribbon, int lang) {
    const std::uint8_t levels[][4] = {{255, 255, 199, 255}, {220, 10, 76, 200}, {200, 7, 100, 192},
                                      {180, 4, 12, 180},    {160, 1, 150, 170}, {0, 0, 0, 0}};
    for (int category : {kInputCategory, kOutputCategory}) {
        ribbon.setActiveCategory(category);
        for (const auto& level : levels) {
            const MicStatusTexts texts =
                micStatusTexts({level[0], level[1], level[2], level[3]}, lang);
            for (const RibbonIds& ids : kRibbonIds) {
                for (const auto& labels : {ids.mic1Status, ids.mic2Status}) {
                    ribbon.setElementText(labels[0], texts.rfAf);
                    ribbon.setElementText(labels[1], texts.frequency);
                    ribbon.setElementText(labels[2], texts.battery);
                }
                ribbon.setElementText(ids.micLabel, volumeLabel(VolumeControl::Mic, lang, 100));
                ribbon.setElementText(ids.effectLabel,
                                      volumeLabel(VolumeControl::Effect, lang, 100));
                ribbon.setElementText(ids.musicLabel, volumeLabel(VolumeControl::Music, lang, 100));
                ribbon.setElementText(ids.gateLabel, volumeLabel(VolumeControl::Gate, lang, 100));
            }
            for (int c = 0; c < 2; ++c)
                ribbon.setPanelName(c, kPitchPanel, pitchCaptionRelabel(lang, -5));
            settleLayouts();
            expectPanelsWhole(ribbon, texts.rfAf + QLatin1Char(' ') + texts.battery);
        }
    }
    // The buttons beside the tabs: inside the ribbon, clear of the tabs and
    // of each other.
    const QTabBar* tabs = ribbon.findChild<QTabBar*>();
    ASSERT_NE(tabs, nullptr);
    EXPECT_GE(tabs->width(), tabs->sizeHint().width()) << "the category tabs are cut";
    QRect previous = rectIn(tabs, &ribbon);
    for (int id : {id::kHdmiMenu, id::kMusicSourceMenu, id::kMusicAgc, id::kResetUnit,
                   id::kRemoteLearning, id::kAutoSub, id::kLanguage, id::kAbout}) {
        const QWidget* button = ribbon.element(id);
        const QRect r = rectIn(button, &ribbon);
        EXPECT_TRUE(ribbon.rect().contains(r)) << id;
        EXPECT_GE(r.left(), previous.right()) << id;
        EXPECT_GE(button->width(), button->sizeHint().width()) << id;
        previous = r;
    }
}

void saveRendering(QWidget* window, const QString& name) {
    QDir().mkpath(QStringLiteral(V36_ARTEFACT_DIR));
    EXPECT_TRUE(window->grab().save(QStringLiteral(V36_ARTEFACT_DIR "/%1.png").arg(name)));
}

TEST_F(ShellTest, EveryRibbonPanelShowsWholeAtTheMinimumSizeInBothLanguages) {
    for (int lang : {kChinese, kEnglish}) {
        SCOPED_TRACE(lang);
        start({}, lang);
        ASSERT_TRUE(waitIdleConnected());
        CMainFrame* frame = app_->mainFrame();
        const char* const names[] = {"zh", "en"};
        for (int pass = 0; pass < 2; ++pass) {
            // The starting language as built, then the other one as the
            // switch labels it.
            const int shown = pass == 0 ? lang : 1 - lang;
            if (pass == 1) view().OnCommand(id::kLanguage);
            frame->resize(CMainFrame::kMinWidth, CMainFrame::kMinHeight);
            settleLayouts();
            EXPECT_EQ(frame->width(), CMainFrame::kMinWidth);
            EXPECT_EQ(ribbon().width(), CMainFrame::kMinWidth);
            expectRibbonWhole(ribbon(), shown);
            if (pass == 1) continue;
            view().updateCommandUI();
            settleLayouts();
            saveRendering(frame, QStringLiteral("ribbon_min_%1").arg(names[shown]));
            // With room enough every button shows its text.
            frame->resize(1920, 1080);
            settleLayouts();
            EXPECT_FALSE(ribbon().isCompact());
            expectRibbonWhole(ribbon(), shown);
            view().updateCommandUI();
            settleLayouts();
            saveRendering(frame, QStringLiteral("ribbon_max_%1").arg(names[shown]));
        }
        stop();
    }
}

TEST_F(ShellTest, WindowComesBackAsItWasLeft) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_FALSE(app_->mainFrame()->isMaximized());
    app_->mainFrame()->showMaximized();
    stop();
    start();  // the same settings file
    ASSERT_TRUE(waitIdleConnected());
    EXPECT_TRUE(app_->mainFrame()->isMaximized());
    app_->mainFrame()->showNormal();
    stop();
    start();
    EXPECT_FALSE(app_->mainFrame()->isMaximized());
}

// Pixels dark enough to be the ribbon's text.
int inkOf(const QImage& image) {
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 110) ++ink;
        }
    }
    return ink;
}

QImage renderHovered(QToolButton* button, bool hovered) {
    button->setAttribute(Qt::WA_UnderMouse, hovered);
    QImage image = button->grab().toImage();
    button->setAttribute(Qt::WA_UnderMouse, false);
    return image;
}

TEST_F(ShellTest, HoverKeepsEveryButtonTextWholeAndLeavesWithItsMenuOrDialog) {
    for (int lang : {kChinese, kEnglish}) {
        SCOPED_TRACE(lang);
        start({}, lang);
        ASSERT_TRUE(waitIdleConnected());
        app_->mainFrame()->resize(1920, 1080);
        settleLayouts();
        // The highlight takes no room from the text: at the narrowest width
        // that shows a button's text whole, the hovered button shows it
        // whole too.
        for (QToolButton* button : ribbon().findChildren<QToolButton*>()) {
            if (button->text().isEmpty() || !button->isVisible()) continue;
            SCOPED_TRACE(button->text().toStdString());
            const QSize laidOut = button->size();
            const int whole = inkOf(renderHovered(button, false));
            int width = laidOut.width();
            for (; width > 8; --width) {
                button->resize(width - 1, laidOut.height());
                if (inkOf(renderHovered(button, false)) < whole * 97 / 100) break;
            }
            button->resize(width, laidOut.height());
            EXPECT_GE(inkOf(renderHovered(button, true)), whole * 9 / 10) << "at width " << width;
            button->resize(laidOut);
        }

        // A menu or a modal dialog closes with the cursor elsewhere: the
        // button it came from is no longer highlighted. (At the smallest
        // size every button lies on the test's small screen.)
        app_->mainFrame()->resize(CMainFrame::kMinWidth, CMainFrame::kMinHeight);
        settleLayouts();
        for (int id : {id::kHdmiMenu, id::kMusicSourceMenu, kRibbonIds[0].loadMode, id::kAbout}) {
            SCOPED_TRACE(id);
            auto* button = qobject_cast<QToolButton*>(ribbon().element(id));
            ASSERT_NE(button, nullptr);
            QTest::mouseMove(button);
            ASSERT_TRUE(waitUntil([button] { return button->underMouse(); }, 2000));
            QRect popupGeometry;
            bool closed = false;
            QTimer closer;
            QObject::connect(&closer, &QTimer::timeout, [&] {
                QWidget* popup = QApplication::activePopupWidget();
                QWidget* modal = QApplication::activeModalWidget();
                if (!popup && !modal) return;
                // As on X11, the button still counts as hovered while the
                // menu or dialog it opened holds the mouse.
                button->setAttribute(Qt::WA_UnderMouse, true);
                QCursor::setPos(-100, -100);  // off every window
                if (popup) popupGeometry = popup->frameGeometry();
                (popup ? popup : modal)->close();
                closed = true;
                closer.stop();
            });
            closer.start(20);
            QTest::mouseClick(button, Qt::LeftButton);
            ASSERT_TRUE(waitUntil([&] { return closed; }, 5000));
            QCoreApplication::processEvents();
            EXPECT_FALSE(button->underMouse());
            if (id == id::kHdmiMenu || id == id::kMusicSourceMenu) {
                // These two open right-aligned under their button.
                const QPoint corner =
                    button->mapToGlobal(QPoint(button->width(), button->height()));
                EXPECT_EQ(popupGeometry.right() + 1, corner.x());
                EXPECT_GE(popupGeometry.top(), corner.y() - 1);
            }
        }
        stop();
    }
}

TEST_F(ShellTest, DisabledButtonLooksDisabled) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    auto* agc = qobject_cast<QToolButton*>(ribbon().element(id::kMusicAgc));
    ASSERT_NE(agc, nullptr);
    ASSERT_TRUE(agc->isEnabled());  // a unit of this protocol has the AGC
    auto darkest = [](const QImage& image) {
        int gray = 255;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                gray = std::min(gray, qGray(image.pixel(x, y)));
        return gray;
    };
    const int enabled = darkest(agc->grab().toImage());
    ribbon().setElementEnabled(id::kMusicAgc, false);
    const int disabled = darkest(agc->grab().toImage());
    EXPECT_GT(disabled, enabled + 60) << "the disabled text is as dark as the enabled one";
}

TEST_F(ShellTest, ApplicationAndAboutButtonsSayWhatTheyDoInTheLanguage) {
    start({}, kChinese);
    ASSERT_TRUE(waitIdleConnected());
    const QWidget* about = ribbon().element(id::kAbout);
    const auto* application = ribbon().findChild<QToolButton*>();  // the first: the menu button
    ASSERT_NE(application, nullptr);
    EXPECT_EQ(about->toolTip(), QString::fromUtf8("关于 DSP-V36"));
    EXPECT_EQ(application->toolTip(), QString::fromUtf8("文件"));
    view().OnCommand(id::kLanguage);
    EXPECT_EQ(about->toolTip(), QStringLiteral("About DSP-V36"));
    EXPECT_EQ(application->toolTip(), QStringLiteral("File"));

    // The menu in both languages, the keys of F6 and F7 beside their entries.
    QMenu* menu = ribbon().applicationMenu();
    for (const char* name : {"application_menu_en", "application_menu_zh"}) {
        menu->ensurePolished();
        menu->adjustSize();
        for (int id : {id::kNoiseGate, id::kMachineSettings}) {
            const QRect r = menu->actionGeometry(ribbon().menuItem(id));
            EXPECT_TRUE(menu->rect().contains(r)) << name << " " << id;
            EXPECT_GE(r.width(),
                      QFontMetrics(menu->font()).horizontalAdvance(ribbon().menuItem(id)->text()))
                << name << " " << id;
        }
        saveRendering(menu, QString::fromLatin1(name));
        view().OnCommand(id::kLanguage);
    }
}

QString yesButtonText() {
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No);
    return box.button(QMessageBox::Yes)->text();
}

TEST_F(ShellTest, StandardDialogsSpeakTheLanguage) {
    const bool catalogue = QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                                         QStringLiteral("/qtbase_zh_CN.qm"));
    start({}, kChinese);
    ASSERT_TRUE(waitIdleConnected());
    if (catalogue) {
        EXPECT_EQ(yesButtonText(), QString::fromUtf8("是(&Y)"));
        QFileDialog files;
        files.setOption(QFileDialog::DontUseNativeDialog);
        EXPECT_EQ(files.labelText(QFileDialog::Reject), QString::fromUtf8("取消"));
    } else {
        ADD_FAILURE() << "Qt's Chinese catalogue is not installed (qt6-translations-l10n)";
    }
    view().OnCommand(id::kLanguage);
    EXPECT_EQ(yesButtonText(), QStringLiteral("&Yes"));
    view().OnCommand(id::kLanguage);
    if (catalogue) {
        EXPECT_EQ(yesButtonText(), QString::fromUtf8("是(&Y)"));
    }
    stop();
    EXPECT_EQ(yesButtonText(), QStringLiteral("&Yes"));  // the application took it back

    // Without the catalogue everything stays in English and works.
    QTemporaryDir empty;
    StandardDialogTexts texts(empty.path());
    EXPECT_FALSE(texts.apply(kChinese));
    EXPECT_EQ(yesButtonText(), QStringLiteral("&Yes"));
    EXPECT_TRUE(texts.apply(kEnglish));
}

TEST_F(ShellTest, NoticeAppearsCentredOnTheMainWindow) {
    start();
    ASSERT_TRUE(waitIdleConnected());
    CMainFrame* frame = app_->mainFrame();
    frame->move(20, 30);
    app_->ShowInfo(QStringLiteral("Please connect device!"), 5000);
    CInfoDlg* notice = app_->infoDialog();
    ASSERT_NE(notice, nullptr);
    const QPoint offset = notice->frameGeometry().center() - frame->frameGeometry().center();
    EXPECT_TRUE(std::abs(offset.x()) <= 3 && std::abs(offset.y()) <= 3)
        << "off the window's centre by " << offset.x() << "," << offset.y();
}

}  // namespace
}  // namespace v36::test
