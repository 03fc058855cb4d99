#include "app/document.h"
#include "app/file_path.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>

#include "app/edit_path.h"
#include "protocol/param_store.h"

namespace v36 {

namespace {}  // namespace

ModeDocument::ModeDocument(QSettings& settings, ParamStore& store, EditPath& edits,
                           std::function<bool()> connected, QObject* parent)
    : QObject(parent),
      settings_(settings),
      store_(store),
      edits_(edits),
      connected_(std::move(connected)) {
    connect(&edits_, &EditPath::cleanChanged, this, &ModeDocument::titleChanged);
}

void ModeDocument::loadRecentFiles() {
    recent_.clear();
    settings_.beginGroup(QStringLiteral("Recent File List"));
    for (int i = 1; i <= kRecentFiles; ++i) {
        const QString file = settings_.value(QStringLiteral("File%1").arg(i)).toString();
        if (!file.isEmpty()) recent_.append(file);
    }
    settings_.endGroup();
}

void ModeDocument::saveRecentFiles() {
    settings_.beginGroup(QStringLiteral("Recent File List"));
    settings_.remove(QString());
    for (int i = 0; i < recent_.size(); ++i)
        settings_.setValue(QStringLiteral("File%1").arg(i + 1), recent_[i]);
    settings_.endGroup();
}

void ModeDocument::addRecentFile(const QString& file) {
    const QString full = QFileInfo(file).absoluteFilePath();
    recent_.removeAll(full);
    recent_.prepend(full);
    while (recent_.size() > kRecentFiles)
        recent_.removeLast();
    saveRecentFiles();
    emit recentFilesChanged(recent_);
}

void ModeDocument::removeRecentFile(const QString& file) {
    recent_.removeAll(file);
    recent_.removeAll(QFileInfo(file).absoluteFilePath());
    saveRecentFiles();
    emit recentFilesChanged(recent_);
}

bool ModeDocument::hasUnsavedOfflineEdits() const {
    return path_.isEmpty() ? offlineDirty_ : !edits_.isClean();
}

void ModeDocument::historyChanged() {
    if (!connected_()) offlineDirty_ = true;
}

FileResult ModeDocument::open(const QString& file) {
    const FileResult result = loadModeFile(store_, filePath(file));
    if (!result) return result;
    edits_.clear();
    edits_.setClean();
    offlineDirty_ = false;
    path_ = QFileInfo(file).absoluteFilePath();
    addRecentFile(file);
    emit titleChanged();
    return result;
}

FileResult ModeDocument::save(const QString& file) {
    const FileResult result = saveModeFile(store_, filePath(file));
    if (!result) return result;
    edits_.setClean();
    offlineDirty_ = false;
    path_ = QFileInfo(file).absoluteFilePath();
    addRecentFile(file);
    emit titleChanged();
    return result;
}

void ModeDocument::synchronised(bool keepHistory) {
    if (keepHistory) return;
    edits_.clear();
    offlineDirty_ = false;
    end();
}

void ModeDocument::end() {
    path_.clear();
    emit titleChanged();
}

QString ModeDocument::title(const QString& program) const {
    if (path_.isEmpty() || connected_()) return program;
    return QFileInfo(path_).fileName() + QStringLiteral("[*] - ") + program;
}

bool ModeDocument::modified() const {
    return !path_.isEmpty() && !connected_() && !edits_.isClean();
}

}  // namespace v36
