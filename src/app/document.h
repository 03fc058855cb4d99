#pragma once

#include <QObject>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <functional>

#include "protocol/mode_file.h"

namespace v36 {

class EditPath;
struct ParamStore;

// The mode file the window edits without a unit, and the recent mode files
// of the per-user settings. Which file, whether its edits are saved, what
// the title says; reading and writing it leave showing errors to the
// window.
class ModeDocument : public QObject {
    Q_OBJECT

  public:
    static constexpr int kRecentFiles = 10;

    ModeDocument(QSettings& settings, ParamStore& store, EditPath& edits,
                 std::function<bool()> connected, QObject* parent = nullptr);

    // --- Recent files (newest first, at most ten) ----------------------------------
    void loadRecentFiles();
    void saveRecentFiles();
    QStringList recentFiles() const { return recent_; }
    void addRecentFile(const QString& path);
    void removeRecentFile(const QString& path);

    // --- The file edited without a unit ------------------------------------------------
    // Empty when none.
    QString path() const { return path_; }
    // Edits made while no unit was connected that no file or unit has.
    bool hasUnsavedOfflineEdits() const;
    // An edit, undo or redo happened (without a unit it reached no unit).
    void historyChanged();
    // Reads `file` into the store for editing without a unit.
    FileResult open(const QString& file);
    // Writes the store to `file` (no mode is stored into).
    FileResult save(const QString& file);
    // A pull or push replaced the store's set: the history goes and the
    // document ends, unless `keepHistory` (edits made without a unit went
    // to the unit that arrived).
    void synchronised(bool keepHistory);
    void end();

    // The window's title for the program `program`, and whether it shows
    // the unsaved mark.
    QString title(const QString& program) const;
    bool modified() const;

  signals:
    void titleChanged();
    void recentFilesChanged(const QStringList& files);

  private:
    QSettings& settings_;
    ParamStore& store_;
    EditPath& edits_;
    std::function<bool()> connected_;
    QStringList recent_;
    QString path_;
    bool offlineDirty_ = false;
};

}  // namespace v36
