#pragma once

// The whole application on a virtual unit, offscreen, with short sync
// pauses, a private settings file and recorded message boxes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "app/app.h"
#include "app/main_frame.h"
#include "app/main_view.h"
#include "app/ribbon.h"
#include "app/status_bar.h"
#include "app/sync_dialog.h"

namespace v36::test {

inline bool waitUntil(const std::function<bool()>& done, int timeoutMs = 15000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

inline SyncTimings fastTimings() {
    SyncTimings t;
    t.pullStart = std::chrono::milliseconds(20);
    t.afterRead = std::chrono::milliseconds(5);
    t.beforeDone = std::chrono::milliseconds(5);
    t.afterDone = std::chrono::milliseconds(5);
    t.pushStart = std::chrono::milliseconds(5);
    t.pushEnd = std::chrono::milliseconds(5);
    t.musicFadeStep = std::chrono::milliseconds(1);
    return t;
}

class ShellTest : public ::testing::Test {
  protected:
    void TearDown() override { stop(); }

    void start(VirtualUnitConfig unit = {}, int language = kEnglish, UiFactories factories = {},
               int syncTimeoutMs = CSynDlg::kDefaultTimeoutMs) {
        ASSERT_TRUE(dir_.isValid());
        AppOptions options;
        options.simulate = true;
        if (unit.latency == VirtualUnitConfig().latency)
            unit.latency = std::chrono::microseconds(200);
        options.syncTimeoutMs = syncTimeoutMs;
        options.virtualUnit = std::move(unit);
        options.settingsFile = dir_.filePath(QStringLiteral("settings.ini"));
        options.singleInstance = false;
        options.syncTimings = fastTimings();
        options.startDelayMs = 10;
        options.factories = std::move(factories);
        if (adjustOptions_) adjustOptions_(options);
        {
            QSettings settings(options.settingsFile, QSettings::IniFormat);
            settings.setValue(QStringLiteral("language"), language);
        }
        app_ = std::make_unique<CKorvelv13App>(std::move(options));
        app_->setMessageBoxHandler([this](const MessageBoxRequest& request) {
            boxes_.push_back(request);
            return answer_;
        });
        app_->setFileDialogHandler([this](const FileDialogRequest& request) {
            fileRequests_.push_back(request);
            return nextFile_;
        });
        ASSERT_TRUE(app_->InitInstance());
    }

    void stop() {
        if (!app_) return;
        if (CMainFrame* frame = app_->mainFrame()) frame->closeWithoutPrompt();
        app_.reset();
    }

    // Connected, the sync finished and its dialog gone.
    bool idleConnected() const {
        return app_->isConnected() && !app_->sync().busy() && !app_->syncDialog();
    }
    bool waitIdleConnected() {
        return waitUntil([this] { return idleConnected(); });
    }

    VirtualUnit& unit() { return *app_->device().virtualUnit(); }
    CMyMFCRibbonBar& ribbon() { return *app_->mainFrame()->ribbon(); }
    CKorvelv13View& view() { return *app_->view(); }
    QString pane(int id) { return app_->mainFrame()->statusPanes()->pane(id)->text(); }
    ParamStore& store() { return app_->device().store; }

    QTemporaryDir dir_;
    // Changes the options of the next start (several units, ...).
    std::function<void(AppOptions&)> adjustOptions_;
    std::unique_ptr<CKorvelv13App> app_;
    std::vector<MessageBoxRequest> boxes_;
    std::vector<FileDialogRequest> fileRequests_;
    QMessageBox::StandardButton answer_ = QMessageBox::Yes;
    QString nextFile_;
};

}  // namespace v36::test
