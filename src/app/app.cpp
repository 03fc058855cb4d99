#include "app/app.h"

#ifdef V36_WITH_MQTT
#include "app/broker_room.h"
#endif

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStandardPaths>
#include <filesystem>

#include "app/about_dialog.h"
#include "app/icons.h"
#include "app/info_dialog.h"
#include "app/main_frame.h"
#include "app/main_view.h"
#include "app/messages.h"
#include "app/ribbon.h"
#include "app/ribbon_presenter.h"
#include "app/room_remote.h"
#include "app/single_instance.h"
#include "app/sync_dialog.h"
#include "protocol/mode_file.h"
#include "protocol/word_table.h"

namespace v36 {

const char* const CKorvelv13App::kTitle = "DSP-V36 v1.0.1 2015-05-06";

namespace {
const char kOrganisation[] = "DSP_7260_V2.5";
const char kModeFilter[] = "Mode Files (*.ev36)";
}  // namespace

CKorvelv13App::CKorvelv13App(AppOptions options) : options_(std::move(options)) {
    if (options_.settingsFile.isEmpty()) {
        settings_ =
            std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                        QLatin1String(kOrganisation), QLatin1String(kOrganisation));
    } else {
        settings_ = std::make_unique<QSettings>(options_.settingsFile, QSettings::IniFormat);
    }
    if (options_.debugTrace) ctx_.trace.setEnabled(true);
    watcher_ = std::make_unique<StoreWatcher>(ctx_.store, this);
    edits_ = std::make_unique<EditPath>(ctx_, this);
    document_ = std::make_unique<ModeDocument>(
        *settings_, ctx_.store, *edits_, [this] { return isConnected(); }, this);
    connect(edits_.get(), &EditPath::restored, this, &CKorvelv13App::refreshFromStore);
    connect(edits_.get(), &EditPath::historyChanged, this, [this] {
        // A step taken, undone or redone without a unit reached no unit.
        document_->historyChanged();
        if (CKorvelv13View* v = view()) v->updateCommandUI();
    });
    connect(document_.get(), &ModeDocument::titleChanged, this, &CKorvelv13App::updateTitle);
    connect(document_.get(), &ModeDocument::recentFilesChanged, this,
            [this](const QStringList& files) {
                if (frame_) frame_->ribbon()->setRecentFiles(files);
            });
    roomRemote_ = std::make_unique<CRoomRemote>(*this);
#ifdef V36_WITH_MQTT
    brokerRoom_ = std::make_unique<CBrokerRoom>(*this);
#endif
    if (options_.simulate) {
        if (options_.virtualUnits.empty()) {
            ctx_.useVirtualUnit(options_.virtualUnit);
        } else {
            ctx_.useVirtualUnits(options_.virtualUnits);
        }
    }
    ConnectionController::Options connectionOptions;
    connectionOptions.startDelayMs = options_.startDelayMs;
    connectionOptions.levelPollMs = options_.levelPollMs;
    connectionOptions.syncTimings = options_.syncTimings;
    connection_ = std::make_unique<ConnectionController>(ctx_, connectionOptions, this);
    syncDialogEnd_.setSingleShot(true);
    connect(&syncDialogEnd_, &QTimer::timeout, this, [this] { endSyncDialog(); });
    ctx_.dispatcher.setParameterErrorHandler([this](std::string_view text) {
        QMetaObject::invokeMethod(
            this,
            [this, unitText = std::string(text)] {
                messageBox({QMessageBox::Critical, errorCaption(languageIndex_),
                            parameterErrorMessage(languageIndex_, unitText), QMessageBox::Ok});
            },
            Qt::QueuedConnection);
    });
    ctx_.dispatcher.setRemoteKeyHandler([this](std::uint8_t code) {
        QMetaObject::invokeMethod(
            this,
            [this, code] {
                if (CToolDialog* d = toolDialog(ToolDialog::RemoteKeyLearning))
                    d->OnRemoteEvent(code);
            },
            Qt::QueuedConnection);
    });
}

CKorvelv13App::~CKorvelv13App() {
    shutdown();
    delete frame_.data();
    // The history is cleared as it goes, after the document it reports to:
    // nothing of this object hears it any more.
    if (edits_) edits_->disconnect(this);
}

CMainFrame* CKorvelv13App::mainFrame() const {
    return frame_.data();
}
CSynDlg* CKorvelv13App::syncDialog() const {
    return syncDialog_.data();
}
CInfoDlg* CKorvelv13App::infoDialog() const {
    return infoDialog_.data();
}

CKorvelv13View* CKorvelv13App::view() const {
    return frame_ ? frame_->view() : nullptr;
}

bool CKorvelv13App::InitInstance() {
    // The language first: even the single-instance boxes speak it.
    languageIndex_ =
        settings_->value(QStringLiteral("language"), 0).toInt() == 1 ? kEnglish : kChinese;
    if (options_.singleInstance) {
        instance_ = std::make_unique<SingleInstance>(options_.instanceName.isEmpty()
                                                         ? SingleInstance::defaultName()
                                                         : options_.instanceName);
        switch (instance_->start(options_.openFile)) {
            case SingleInstance::Outcome::First:
                break;
            case SingleInstance::Outcome::Handed:
                return false;
            case SingleInstance::Outcome::NoMainWindow:
                messageBox({QMessageBox::Warning, QString::fromUtf8(kTitle),
                            pick(languageIndex_, "已有一个实例在运行，但找不到它的主窗口！",
                                 "The program is running already, but its main window "
                                 "cannot be found!"),
                            QMessageBox::Ok});
                return false;
            case SingleInstance::Outcome::ServerFailed:
                messageBox({QMessageBox::Critical, QString::fromUtf8(kTitle),
                            pick(languageIndex_, "创建信标对象失败，程序退出！",
                                 "The single-instance check could not be set up; the "
                                 "program ends!"),
                            QMessageBox::Ok});
                return false;
        }
        connect(instance_.get(), &SingleInstance::activated, this,
                &CKorvelv13App::onSecondInstance);
    }

    document_->loadRecentFiles();

    qApp->installEventFilter(this);
    frame_ = new CMainFrame(*this);
    frame_->view()->OnCreate();
    updateTitle();
    frame_->show();  // as restored: normal or maximised
    // A file named on the command line is opened once the first connection
    // attempt is over (the view asks for it), so that it reaches the unit.
    pendingOpenFile_ = options_.openFile;
    return true;
}

void CKorvelv13App::shutdown() {
    if (shuttingDown_.exchange(true)) return;
    roomRemote_->stop();
#ifdef V36_WITH_MQTT
    brokerRoom_->leave();
#endif
    connection_->shutdown();
    if (syncDialog_) syncDialog_->end();
    if (infoDialog_) infoDialog_->close();
    destroyToolDialogs();
    qApp->removeEventFilter(this);
    // A worker blocked in its completion hand-off needs the event loop; the
    // writer's last jobs (the goodbye) run before the link closes. A unit
    // that does not answer gets two seconds in all: then what still waits
    // is dropped and the link closed, which ends every wait on it.
    QElapsedTimer waited;
    waited.start();
    while (connection_->syncing() && waited.elapsed() < kShutdownSyncMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const auto left =
        std::chrono::milliseconds(std::max<qint64>(0, kShutdownMs - waited.elapsed()));
    if (!ctx_.writer.waitIdleFor(left)) {
        const std::size_t dropped = ctx_.writer.discardPending();
        ctx_.trace.write("closing: " + std::to_string(dropped) + " queued writes dropped\n");
    }
    ctx_.closeLink();
    ctx_.writer.waitIdle();
    document_->saveRecentFiles();
    settings_->sync();
}

// --- Writes -----------------------------------------------------------------------

void CKorvelv13App::postWrite(std::function<void(Senders&)> job) {
    ctx_.editor.post(std::move(job));
}

// --- Language ----------------------------------------------------------------------

void CKorvelv13App::setLanguageIndex(int index) {
    languageIndex_ = index == kEnglish ? kEnglish : kChinese;
    standardTexts_.apply(languageIndex_);
}

bool CKorvelv13App::loadLanguageFile() {
    LanguageFile file = LanguageFile::builtIn(languageIndex_);
    if (file.isEmpty()) {
        // The texts stay as they are; later relabelling changes nothing.
        language_ = LanguageFile();
        return false;
    }
    language_ = std::move(file);
    return true;
}

// --- Dialogs ----------------------------------------------------------------------------

void CKorvelv13App::ShowInfo(const QString& text, int milliseconds) {
    if (!infoDialog_) {
        infoDialog_ = new CInfoDlg(languageIndex_);
        infoDialog_->centreOn(frame_);
    }
    infoDialog_->setLanguage(languageIndex_);
    infoDialog_->showText(text, milliseconds);
}

void CKorvelv13App::ShowPage(PageKind kind, int channel) {
    if (CKorvelv13View* v = view()) v->ShowPage(kind, channel);
}

void CKorvelv13App::startPullWithDialog() {
    connection_->pull();
}

void CKorvelv13App::showSyncDialog() {
    if (shuttingDown_.load()) return;
    // A sync that follows another at once keeps the dialog it shows.
    syncDialogEnd_.stop();
    if (syncDialog_) return;
    auto* dialog = new CSynDlg(QString(), languageIndex_, options_.syncTimeoutMs, frame_);
    syncDialog_ = dialog;
    connect(dialog, &CSynDlg::timedOutSignal, this, [this] {
        syncDialog_ = nullptr;
        if (shuttingDown_.load()) return;
        messageBox({QMessageBox::Critical, pick(languageIndex_, "错误", "Error"),
                    pick(languageIndex_, "发生错误，与设备数据同步超时……",
                         "The unit could not be synchronised in time."),
                    QMessageBox::Ok});
    });
    // Window-modal without a loop of its own: the events go on.
    dialog->open();
}

void CKorvelv13App::endSyncDialog(int delayMs) {
    if (!syncDialog_) return;
    if (delayMs > 0) {
        syncDialogEnd_.start(delayMs);
        return;
    }
    syncDialogEnd_.stop();
    CSynDlg* dialog = syncDialog_;
    syncDialog_ = nullptr;
    dialog->end();
}

CToolDialog* CKorvelv13App::toolDialog(ToolDialog kind) const {
    return toolDialogs_.value(static_cast<int>(kind)).data();
}

QList<CToolDialog*> CKorvelv13App::openToolDialogs() const {
    QList<CToolDialog*> open;
    for (const auto& d : toolDialogs_) {
        if (d) open.append(d.data());
    }
    return open;
}

CToolDialog* CKorvelv13App::showToolDialog(ToolDialog kind) {
    CToolDialog* dialog = toolDialog(kind);
    if (!dialog) {
        if (!options_.factories.toolDialog) return nullptr;
        dialog = options_.factories.toolDialog(kind, *this, frame_);
        if (!dialog) return nullptr;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        toolDialogs_.insert(static_cast<int>(kind), dialog);
    }
    if (frame_) {
        dialog->adjustSize();
        dialog->move(frame_->geometry().center() - dialog->rect().center());
    }
    if (kind == ToolDialog::AutoSub || kind == ToolDialog::MusicAgc) dialog->RefreshFromStore();
    dialog->ApplyLanguage();
    dialog->show();
    dialog->raise();
    return dialog;
}

void CKorvelv13App::runToolDialog(ToolDialog kind) {
    if (!options_.factories.toolDialog) return;
    QPointer<CToolDialog> dialog = options_.factories.toolDialog(kind, *this, frame_);
    if (!dialog) return;
    const int key = static_cast<int>(kind);
    toolDialogs_.insert(key, dialog);
    dialog->exec();
    // The dialog may have gone with its window while it ran.
    if (dialog && toolDialogs_.value(key) == dialog) toolDialogs_.remove(key);
    delete dialog.data();
}

void CKorvelv13App::openModalToolDialog(CToolDialog* dialog) {
    if (!dialog) return;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The registration ends by itself when the dialog is deleted.
    toolDialogs_.insert(static_cast<int>(dialog->kind()), dialog);
    dialog->setModal(true);
    dialog->show();
    dialog->raise();
}

void CKorvelv13App::destroyToolDialogs() {
    for (ToolDialog kind : {ToolDialog::MachineSettings, ToolDialog::AutoSub, ToolDialog::MusicAgc,
                            ToolDialog::RemoteLearning}) {
        if (CToolDialog* d = toolDialog(kind)) {
            toolDialogs_.remove(static_cast<int>(kind));
            // Its own dialogs (learning a key, a file dialog, a question)
            // end first, answered as cancelled; they go with it.
            for (QDialog* child : d->findChildren<QDialog*>())
                child->hide();
            d->hide();
            d->deleteLater();
        }
    }
}

QMessageBox::StandardButton CKorvelv13App::messageBox(const MessageBoxRequest& request,
                                                      const QHash<int, QString>& buttonTexts) {
    if (messageBoxHandler_) return messageBoxHandler_(request);
    QWidget* owner = request.owner;
    if (!owner && frame_ && frame_->isVisible()) owner = frame_.data();
    // On the heap, owned by its window: should that window go while the box
    // is open, the box goes with it instead of being freed twice.
    QPointer<QMessageBox> box =
        new QMessageBox(request.icon, request.caption, request.text, request.buttons, owner);
    for (auto it = buttonTexts.begin(); it != buttonTexts.end(); ++it) {
        if (QAbstractButton* b = box->button(static_cast<QMessageBox::StandardButton>(it.key())))
            b->setText(it.value());
    }
    if (!request.details.isEmpty()) box->setDetailedText(request.details);
    const int answer = box->exec();
    if (!box) return QMessageBox::NoButton;
    delete box.data();
    return static_cast<QMessageBox::StandardButton>(answer);
}

void CKorvelv13App::showFileError(const FileError& error) {
    if (!error.showsBox()) return;
    messageBox({QMessageBox::Warning, QString::fromStdString(error.captionFor(languageIndex_)),
                QString::fromStdString(error.textFor(languageIndex_)), QMessageBox::Ok});
}

QString CKorvelv13App::fileDialog(const FileDialogRequest& request) {
    if (fileDialogHandler_) return fileDialogHandler_(request);
    const QString filter = request.filter.isEmpty() ? QLatin1String(kModeFilter) : request.filter;
    const QString suffix =
        request.defaultSuffix.isEmpty() ? QStringLiteral("ev36") : request.defaultSuffix;
    // Each kind of file opens where the last one of its kind was chosen.
    const QString folderKey = QStringLiteral("LastFolder/") + suffix;
    const QString folder = settings_->value(folderKey).toString();
    QString start = request.defaultName;
    if (!folder.isEmpty() && QFileInfo(start).isRelative()) start = QDir(folder).filePath(start);
    QWidget* owner = request.owner ? request.owner : frame_.data();
    // On the heap, owned by its window: should that window go while the
    // dialog is open (a unit arriving closes the tool dialogs), the dialog
    // goes with it and the answer is a cancel.
    QPointer<QFileDialog> dialog = new QFileDialog(owner, QString(), start, filter);
    if (request.save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setDefaultSuffix(suffix);
        if (request.forcedSuffix) dialog->setOption(QFileDialog::DontConfirmOverwrite);
        if (!request.defaultName.isEmpty()) dialog->selectFile(start);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    const int result = dialog->exec();
    if (!dialog) return {};
    const QStringList files = dialog->selectedFiles();
    delete dialog.data();
    if (result != QDialog::Accepted || files.isEmpty()) return {};
    settings_->setValue(folderKey, QFileInfo(files.first()).absolutePath());
    return files.first();
}

void CKorvelv13App::showAboutDialog() {
    QPointer<CAboutDlg> about = new CAboutDlg(*this, frame_);
    about->exec();
    delete about.data();
}

bool CKorvelv13App::OpenDocumentFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        messageBox(
            {QMessageBox::Information, pick(languageIndex_, "文件打开错误", "File open error"),
             pick(languageIndex_, "文件不存在！", "The file does not exist!"), QMessageBox::Ok});
        removeRecentFile(path);
        return false;
    }
    // The mode files this program writes.
    if (info.suffix().compare(QLatin1String("ev36"), Qt::CaseInsensitive) != 0) {
        const QString name = info.fileName();
        messageBox({QMessageBox::Warning, pick(languageIndex_, "文件打开错误", "File open error"),
                    languageIndex_ == kEnglish
                        ? QStringLiteral("\"%1\" is not a mode file (.ev36).").arg(name)
                        : QString::fromUtf8("“%1”不是模式文件（.ev36）。").arg(name),
                    QMessageBox::Ok});
        removeRecentFile(path);
        return false;
    }
    if (!isConnected()) return openOfflineDocument(path);
    CKorvelv13View* v = view();
    return v && v->loadModeFile(path);
}

// --- Offline editing -----------------------------------------------------------------------

bool CKorvelv13App::openOfflineDocument(const QString& path) {
    const FileResult result = document_->open(path);
    if (!result) {
        showFileError(result.error);
        return false;
    }
    refreshFromStore();
    return true;
}

bool CKorvelv13App::saveOfflineDocument(const QString& path) {
    const FileResult result = document_->save(path);
    if (!result) {
        showFileError(result.error);
        return false;
    }
    return true;
}

void CKorvelv13App::updateTitle() {
    if (!frame_) return;
    frame_->setWindowTitle(document_->title(QString::fromUtf8(kTitle)));
    frame_->setWindowModified(document_->modified());
}

void CKorvelv13App::refreshFromStore() {
    CKorvelv13View* v = view();
    if (!v) return;
    v->ribbonPresenter().refresh();
    if (CEditorPage* page = v->currentPage()) page->RefreshFromStore();
    for (CToolDialog* dialog : openToolDialogs())
        dialog->RefreshFromStore();
    v->updateCommandUI();
}

QString CKorvelv13App::takePendingOpenFile() {
    QString file = pendingOpenFile_;
    pendingOpenFile_.clear();
    return file;
}

void CKorvelv13App::activateMainWindow() {
    if (!frame_) return;
    if (frame_->isMinimized()) frame_->showNormal();
    frame_->show();
    frame_->raise();
    frame_->activateWindow();
}

void CKorvelv13App::onSecondInstance(const QString& file) {
    activateMainWindow();
    if (!file.isEmpty()) QTimer::singleShot(0, this, [this, file] { OpenDocumentFile(file); });
}

bool CKorvelv13App::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->isAutoRepeat() || syncDialog_) return QObject::eventFilter(watched, event);
        if (key->key() == Qt::Key_F7 && f7Guard_) {
            f7Guard_ = false;
            if (isConnected()) showToolDialog(ToolDialog::MachineSettings);
            f7Guard_ = true;
            return true;
        }
        if (key->key() == Qt::Key_F6) {
            if (!isConnected()) return QObject::eventFilter(watched, event);
            if (f6Guard_) {
                f6Guard_ = false;
                runToolDialog(ToolDialog::NoiseGate);
                f6Guard_ = true;
            }
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace v36
