#include "remote/remote_dlg.h"
#include "app/file_path.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>
#include <filesystem>

#include "app/language.h"
#include "context/device_context.h"
#include "controls/image_button.h"
#include "protocol/report.h"
#include "remote/remote_file.h"
#include "remote/remote_picture.h"
#include "remote/remote_study_dlg.h"

namespace v36 {

namespace {

constexpr unsigned kBackground = 0xFCFCFF;
constexpr int kNoticeMs = 1500;
constexpr int kRefusalMs = 1100;

}  // namespace

const char* const CRemoteDlg::kFileFilter = "Remote Data File(*.remo)";

CRemoteDlg::CRemoteDlg(CAppServices& app, QWidget* parent)
    : CToolDialog(ToolDialog::RemoteLearning, app, parent) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kBackground));
    setPalette(palette);
    setWindowTitle(pick(app.languageIndex(), "遥控学习", "Learn remoter control "));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(16, 14, 16, 14);
    layout->setSpacing(16);
    picture_ = new CRemotePicture(this);
    layout->addWidget(picture_, 0, Qt::AlignTop);
    connect(picture_, &CRemotePicture::keyClicked, this, &CRemoteDlg::learnKey);

    auto* side = new QVBoxLayout;
    side->setSpacing(10);
    hint_ = new QLabel(this);
    setControlId(hint_, kHint);
    hint_->setWordWrap(true);
    hint_->setFixedWidth(161);
    side->addWidget(hint_);
    side->addStretch(1);
    for (int id : {kLoad, kSave, kApply, kClose}) {
        auto* b = new CGdipButton(this);
        b->setControlId(id);
        setControlId(b, id);
        b->loadStandard(picture::kActionButton);
        side->addWidget(b);
        if (id == kClose) b->setVisible(false);  // the close box ends the dialog
    }
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(button(kLoad), &QAbstractButton::clicked, this, &CRemoteDlg::onLoad);
    connect(button(kSave), &QAbstractButton::clicked, this, &CRemoteDlg::onSave);
    connect(button(kApply), &QAbstractButton::clicked, this, &CRemoteDlg::onApply);
    connect(button(kClose), &QAbstractButton::clicked, this, &QWidget::close);

    // The level poll pauses while the dialog is open.
    if (app_.levelPollEnable()) {
        app_.setLevelPollEnable(false);
        resumeLevelPoll_ = true;
    }
    ApplyLanguage();
}

CRemoteDlg::~CRemoteDlg() {
    if (resumeLevelPoll_) app_.setLevelPollEnable(true);
}

CGdipButton* CRemoteDlg::button(int id) const {
    for (CGdipButton* b : findChildren<CGdipButton*>()) {
        if (b->controlId() == id) return b;
    }
    return nullptr;
}

void CRemoteDlg::ApplyLanguage() {
    CToolDialog::ApplyLanguage();
    picture_->setLanguage(app_.languageIndex());
}

void CRemoteDlg::learnKey(int key) {
    if (key < 1 || key > 17) return;
    app_.postWrite([key](Senders& senders) { senders.sendCommand({cmd::kLearnKey, key}); });
    // Modal without a loop of its own: this dialog may go (a unit arriving
    // closes it) while the learning dialog waits, and takes it along.
    app_.openModalToolDialog(new CRemoteStudyDlg(key, app_, this));
}

void CRemoteDlg::onApply() {
    app_.postWrite([](Senders& senders) { sendRemoteKeyTable(senders); });
    const int lang = app_.languageIndex();
    // Without a unit the table stays in the program only.
    app_.ShowInfo(app_.isConnected() ? pick(lang, "遥控器键码保存成功!", "Save successed !")
                                     : pick(lang, "未连接机器，键码未保存到机器!",
                                            "No device connected: the keys were not saved!"),
                  kNoticeMs);
}

bool CRemoteDlg::requireUnit() {
    if (app_.isConnected()) return true;
    app_.ShowInfo(
        pick(app_.languageIndex(), "请先连接机器再进行此操作!", "Please connect the device first!"),
        kRefusalMs);
    return false;
}

void CRemoteDlg::onLoad() {
    if (!requireUnit()) return;
    FileDialogRequest request(false, {}, QString::fromLatin1(kFileFilter), QStringLiteral("remo"));
    request.owner = this;
    // The file dialog runs a loop of its own, during which this dialog may
    // go (a unit arriving closes it): nothing of it is used after that.
    QPointer<CRemoteDlg> self(this);
    const QString path = app_.fileDialog(request);
    if (!self || path.isEmpty()) return;
    const int lang = app_.languageIndex();
    const FileResult result = loadRemoteFile(app_.device().store, filePath(path));
    if (!result) {
        app_.showFileError(result.error);
        if (self)
            app_.ShowInfo(pick(lang, "载入遥控文件失败", "Loading the remote file failed"),
                          kNoticeMs);
        return;
    }
    app_.postWrite([](Senders& senders) { sendRemoteKeyTable(senders); });
    app_.ShowInfo(pick(lang, "载入遥控文件成功", "Remote file loaded"), kNoticeMs);
}

void CRemoteDlg::onSave() {
    if (!requireUnit()) return;
    FileDialogRequest request(true, {}, QString::fromLatin1(kFileFilter), QStringLiteral("remo"));
    // The file takes the .remo extension whatever is typed: the dialog does
    // not ask about the name typed, this dialog asks about the file it
    // replaces.
    request.forcedSuffix = true;
    request.owner = this;
    QPointer<CRemoteDlg> self(this);
    const QString chosen = app_.fileDialog(request);
    if (!self || chosen.isEmpty()) return;
    const int lang = app_.languageIndex();
    const std::filesystem::path target = withRemoteExtension(filePath(chosen));
    std::error_code ec;
    if (std::filesystem::exists(target, ec)) {
        const QString name = QString::fromStdU16String(target.filename().u16string());
        const QString text = pick(lang, "\"%1\" 已存在。要替换它吗?",
                                  "\"%1\" already exists. Do you want to replace it?")
                                 .arg(name);
        MessageBoxRequest question{QMessageBox::Question,
                                   pick(lang, "保存遥控文件", "Save remote file"), text,
                                   QMessageBox::Yes | QMessageBox::No};
        question.owner = this;
        const auto answer = app_.messageBox(question);
        if (!self || answer != QMessageBox::Yes) return;
    }
    const FileResult result = saveRemoteFile(app_.device().store, target);
    if (!result) {
        app_.showFileError(result.error);
        if (self)
            app_.ShowInfo(pick(lang, "保存遥控文件失败", "Saving the remote file failed"),
                          kNoticeMs);
        return;
    }
    app_.ShowInfo(pick(lang, "保存遥控文件成功", "Remote file saved"), kNoticeMs);
}

}  // namespace v36
