// Every dialog of the program while the unit leaves, arrives or restarts
// under it: the dialog stays usable or closes cleanly, nothing is freed
// twice or used after it went (this program also runs under
// AddressSanitizer), and the program ends connected and idle, with no modal
// loop left behind.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <array>
#include <functional>
#include <tuple>

#include "app/about_dialog.h"
#include "app/edit_path.h"
#include "app/info_dialog.h"
#include "app/room_remote.h"
#include "app/sync_dialog.h"
#include "controls/image_button.h"
#include "page_fixture.h"
#include "page_wire.h"
#include "pages/dialog_music.h"
#include "pages/eq_editor.h"
#include "pages/eq_import_dlg.h"
#include "protocol/report.h"
#include "protocol/words.h"
#include "remote/remote_dlg.h"
#include "remote/remote_picture.h"
#include "remote/remote_study_dlg.h"

namespace v36::test {
namespace {

using namespace std::chrono_literals;

enum class Happening { Leave, Arrive, Reset };
enum class Outcome { Stays, Closes };

enum Row {
    MachineSettings,
    AutoSub,
    MusicAgc,
    NoiseGate,
    RemoteLearning,
    KeyLearning,
    RemoteLoadFile,
    RemoteSaveFile,
    RemoteReplaceQuestion,
    ImportPreview,
    RoomRemote,
    SyncDialog,
    InfoNotice,
    OfflineQuestion,
    About,
    kRowCount
};
const char* const kRowNames[kRowCount] = {
    "MachineSettings", "AutoSub",         "MusicAgc",
    "NoiseGate",       "RemoteLearning",  "KeyLearning",
    "RemoteLoadFile",  "RemoteSaveFile",  "RemoteReplaceQuestion",
    "ImportPreview",   "RoomRemote",      "SyncDialog",
    "InfoNotice",      "OfflineQuestion", "About"};

// Steps run one after another from a timer, so that they go on inside
// whatever modal loop the program runs at the time. A step returns true
// once it is done, false to be asked again (a wait). No step blocks: a step
// that opens a modal dialog posts the opening.
class Script {
  public:
    using Step = std::function<bool()>;
    Script& then(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    // Runs the steps; false when they did not end in time (every dialog is
    // then closed so that the loops unwind).
    bool run(int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (done()) return;
            if (clock.elapsed() > timeoutMs) {
                timedOut_ = true;
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->done(0);
                }
                return;
            }
            if (steps_[next_]()) ++next_;
        });
        timer.start();
        waitUntil([&] { return done() || (timedOut_ && !QApplication::activeModalWidget()); },
                  timeoutMs + 10000);
        return !timedOut_ && done();
    }
    std::size_t step() const { return next_; }

  private:
    bool done() const { return next_ >= steps_.size(); }
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool timedOut_ = false;
};

struct DialogRow {
    std::function<void()> prepare;         // before the dialog opens
    std::function<void()> open;            // posted: it may run a modal loop
    std::function<QWidget*()> find;        // the dialog, once it shows
    std::function<void(QWidget*)> close;   // closes it as a user would
    std::array<Outcome, 3> outcome;        // after a leave, an arrival, a reset
    std::function<void(Happening)> after;  // checks once everything settled
};

template <class T>
T* activeModal() {
    return qobject_cast<T*>(QApplication::activeModalWidget());
}

QMessageBox* modalBoxSaying(const QString& words) {
    auto* box = activeModal<QMessageBox>();
    return box && box->text().contains(words) ? box : nullptr;
}

void clickButton(QWidget* w, QMessageBox::StandardButton which) {
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
        if (QAbstractButton* b = box->button(which)) b->click();
    }
}

class DialogLifetime : public ShellTest,
                       public ::testing::WithParamInterface<std::tuple<int, Happening>> {
  protected:
    void SetUp() override {
        start({}, kEnglish, pageFactories());
        ASSERT_TRUE(waitIdleConnected());
        unit().setRestartDelay(300ms);
        // Real boxes: each runs a loop of its own, as for a user.
        app_->setMessageBoxHandler(nullptr);
    }

    CRemoteDlg* remoteDialog() {
        return static_cast<CRemoteDlg*>(app_->showToolDialog(ToolDialog::RemoteLearning));
    }
    QString write(const char* name, const QByteArray& bytes) {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QByteArray read(const char* name) {
        QFile file(dir_.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The remote dialog's own dialogs end without loading or sending.
    void remoteTableUntouched() {
        EXPECT_EQ(store().remoteKeyTable.snapshot(), table_);
        app_->writer().waitIdle();
        EXPECT_TRUE(receivedWith(unit(), cmd::kStoreKeys).empty());
    }

    DialogRow dialogRow(int row) {
        const auto stays = std::array{Outcome::Stays, Outcome::Stays, Outcome::Stays};
        // The modeless tool dialogs (and theirs) go when a unit arrives.
        const auto toolDialog = std::array{Outcome::Stays, Outcome::Closes, Outcome::Closes};
        auto closeWidget = [](QWidget* w) { w->close(); };
        auto reject = [](QWidget* w) { static_cast<QDialog*>(w)->reject(); };
        auto tool = [this](ToolDialog kind) {
            return [this, kind]() -> QWidget* { return app_->toolDialog(kind); };
        };
        auto show = [this](ToolDialog kind) {
            return [this, kind] { app_->showToolDialog(kind); };
        };
        switch (row) {
            case MachineSettings:
                return {{},
                        show(ToolDialog::MachineSettings),
                        tool(ToolDialog::MachineSettings),
                        closeWidget,
                        toolDialog,
                        {}};
            case AutoSub:
                return {{},
                        show(ToolDialog::AutoSub),
                        tool(ToolDialog::AutoSub),
                        closeWidget,
                        toolDialog,
                        {}};
            case MusicAgc:
                return {{},
                        show(ToolDialog::MusicAgc),
                        tool(ToolDialog::MusicAgc),
                        closeWidget,
                        toolDialog,
                        {}};
            case NoiseGate:
                return {{},
                        [this] { app_->runToolDialog(ToolDialog::NoiseGate); },
                        tool(ToolDialog::NoiseGate),
                        reject,
                        stays,
                        {}};
            case RemoteLearning:
                return {{},
                        show(ToolDialog::RemoteLearning),
                        tool(ToolDialog::RemoteLearning),
                        closeWidget,
                        toolDialog,
                        [this](Happening) {
                            // The level poll paused while it was open.
                            EXPECT_TRUE(app_->levelPollEnable());
                        }};
            case KeyLearning:
                return {
                    [this] { unit().setLearnDelay(60s); },
                    [this] {
                        QTest::mouseClick(remoteDialog()->picture()->keyArea(3), Qt::LeftButton);
                    },
                    [] { return activeModal<CRemoteStudyDlg>(); },
                    [](QWidget* w) { static_cast<CRemoteStudyDlg*>(w)->giveUpButton()->click(); },
                    toolDialog,
                    [this](Happening) { EXPECT_TRUE(app_->levelPollEnable()); }};
            case RemoteLoadFile:
                return {[this] { app_->setFileDialogHandler(nullptr); },
                        [this] { remoteDialog()->button(CRemoteDlg::kLoad)->click(); },
                        [] { return activeModal<QFileDialog>(); },
                        reject,
                        toolDialog,
                        [this](Happening) { remoteTableUntouched(); }};
            case RemoteSaveFile:
                return {[this] { app_->setFileDialogHandler(nullptr); },
                        [this] { remoteDialog()->button(CRemoteDlg::kSave)->click(); },
                        [] { return activeModal<QFileDialog>(); },
                        reject,
                        toolDialog,
                        {}};
            case RemoteReplaceQuestion:
                return {[this] {
                            write("keys.remo", QByteArray(18, '\x11'));
                            nextFile_ = dir_.filePath(QStringLiteral("keys.txt"));
                        },
                        [this] { remoteDialog()->button(CRemoteDlg::kSave)->click(); },
                        [] { return modalBoxSaying(QStringLiteral("already exists")); },
                        [](QWidget* w) { clickButton(w, QMessageBox::No); },
                        toolDialog,
                        [this](Happening) {
                            // Unanswered, the file stays as it was.
                            EXPECT_EQ(read("keys.remo"), QByteArray(18, '\x11'));
                        }};
            case ImportPreview:
                return {[this] {
                            nextFile_ = write("seat.txt",
                                              "Filter 1: ON PK Fc 100 Hz Gain -2.0 dB Q 1.41\n"
                                              "Filter 2: ON PK Fc 1000 Hz Gain 6.0 dB Q 2.0\n");
                        },
                        [this] {
                            auto* page = qobject_cast<CDialogMusic*>(view().currentPage());
                            ASSERT_NE(page, nullptr);
                            page->eqEditor()->importButton()->click();
                        },
                        [] { return activeModal<CEqImportDlg>(); },
                        reject,
                        stays,
                        {}};
            case RoomRemote:
                return {{},
                        [this] {
                            EXPECT_TRUE(
                                app_->roomRemote().start(QHostAddress(QHostAddress::LocalHost), 0));
                        },
                        [this]() -> QWidget* { return app_->roomRemote().dialog(); },
                        closeWidget,
                        stays,
                        [this](Happening) { EXPECT_FALSE(app_->roomRemote().running()); }};
            case SyncDialog:
                // A slow pull: the unit goes while it runs. Only the pull
                // ends the dialog.
                return {[this] { unit().setLatency(2ms); },
                        [this] { app_->startPullWithDialog(); },
                        [this]() -> QWidget* { return app_->syncDialog(); },
                        [](QWidget*) {},
                        {Outcome::Closes, Outcome::Closes, Outcome::Closes},
                        {}};
            case InfoNotice:
                return {{},
                        [this] { app_->ShowInfo(QStringLiteral("notice"), 60000); },
                        [this]() -> QWidget* { return app_->infoDialog(); },
                        closeWidget,
                        stays,
                        {}};
            case OfflineQuestion:
                // Edits made without the unit; its arrival asks about them.
                return {[this] {
                            unit().unplug();
                            ASSERT_TRUE(waitUntil([this] { return !app_->isConnected(); }));
                            app_->edits().apply(
                                Edit(EditText{"话筒音量", "Mic Vol"}).wordInt(w::micVolume, 17));
                        },
                        [this] { unit().plugIn(); },
                        [] { return modalBoxSaying(QStringLiteral("A unit was connected")); },
                        [](QWidget* w) { clickButton(w, QMessageBox::Discard); },
                        stays,
                        {}};
            case About:
                return {{},
                        [this] { app_->showAboutDialog(); },
                        [] { return activeModal<CAboutDlg>(); },
                        reject,
                        stays,
                        {}};
            default:
                return {};
        }
    }

    std::array<std::uint8_t, 18> table_{};
};

// The unit has gone and the program has noticed; nothing runs for it.
bool settledAway(CKorvelv13App& app) {
    return !app.isConnected() && !app.sync().busy() && !app.syncDialog();
}

TEST_P(DialogLifetime, TheDialogStaysOrClosesCleanly) {
    const int row = std::get<0>(GetParam());
    const Happening happening = std::get<1>(GetParam());
    const DialogRow r = dialogRow(row);
    if (r.prepare) r.prepare();
    table_ = store().remoteKeyTable.snapshot();
    unit().clearTraffic();

    QPointer<QWidget> dialog;
    bool sawGone = false;
    Script script;
    script
        .then([&] {
            QTimer::singleShot(0, app_.get(), r.open);
            return true;
        })
        .then([&] {
            QWidget* w = r.find();
            if (!w || !w->isVisible()) return false;
            dialog = w;
            return true;
        })
        .then([&] {
            switch (happening) {
                case Happening::Leave:
                case Happening::Arrive:
                    unit().unplug();
                    break;
                case Happening::Reset:
                    // What the ribbon's Reset sends once answered Yes.
                    app_->postWrite([](Senders& s) { s.sendCommand({cmd::kRestart, 0xAA, -1}); });
                    break;
            }
            return true;
        })
        .then([&] {
            if (app_->isConnected()) return false;
            sawGone = true;
            if (happening == Happening::Arrive) unit().plugIn();
            return true;
        })
        .then([&] {
            // Settled: away after a leave; back, identified and read after
            // an arrival or a restart.
            if (happening == Happening::Leave) return settledAway(*app_);
            return unit().pluggedIn() && idleConnected();
        })
        .then([&] {
            const Outcome expected = r.outcome[static_cast<std::size_t>(happening)];
            const bool open = dialog && dialog->isVisible();
            EXPECT_EQ(open, expected == Outcome::Stays)
                << kRowNames[row] << (open ? " stayed open" : " closed");
            if (dialog) r.close(dialog);
            return true;
        })
        .then([&] {
            if (dialog && dialog->isVisible()) return false;
            if (!unit().pluggedIn()) unit().plugIn();
            return true;
        })
        .then([&] {
            // Offline edits still unanswered for the unit now attached are
            // asked about again: discarded here.
            if (QMessageBox* again = modalBoxSaying(QStringLiteral("A unit was connected")))
                clickButton(again, QMessageBox::Discard);
            return idleConnected() && !QApplication::activeModalWidget();
        });
    ASSERT_TRUE(script.run(60000)) << kRowNames[row] << ": stopped at step " << script.step();
    EXPECT_TRUE(sawGone);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The program works on: the registry names only open tool dialogs, and
    // the unit hears the program.
    for (ToolDialog kind :
         {ToolDialog::MachineSettings, ToolDialog::NoiseGate, ToolDialog::RemoteLearning,
          ToolDialog::RemoteKeyLearning, ToolDialog::AutoSub, ToolDialog::MusicAgc}) {
        const CToolDialog* d = app_->toolDialog(kind);
        EXPECT_TRUE(d == nullptr || d->isVisible()) << static_cast<int>(kind);
    }
    if (r.after) r.after(happening);
    unit().clearTraffic();
    app_->postWrite([](Senders& s) { s.sendCommand({cmd::kQueryStatus, -1}); });
    EXPECT_TRUE(unit().waitForReceived(cmd::kQueryStatus, 1, 2000ms));
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<int, Happening>>& info) {
    static const char* const kHappenings[] = {"Leave", "Arrive", "Reset"};
    return std::string(kRowNames[std::get<0>(info.param)]) +
           kHappenings[static_cast<int>(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(EveryDialog, DialogLifetime,
                         ::testing::Combine(::testing::Range(0, static_cast<int>(kRowCount)),
                                            ::testing::Values(Happening::Leave, Happening::Arrive,
                                                              Happening::Reset)),
                         caseName);

}  // namespace
}  // namespace v36::test
