#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QUndoStack>

#include "protocol/edit.h"

namespace v36 {

class DeviceContext;

// A name of an edit from two Qt texts (the pages build theirs this way).
inline EditText editText(const QString& zh, const QString& en) {
    return {zh.toStdString(), en.toStdString()};
}
inline QString qText(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// The window's undo history over the one edit model: each edit goes
// through the context's editor (store, then the sends on the writer
// thread) and becomes an undo step that remembers the old values. Undo and
// redo put the values back through the same editor. A gesture (a drag, a
// run of wheel or arrow steps) is one step: consecutive edits of one target
// merge while no more than a second passes between them and no mouse
// release or focus change ended the gesture.
class EditPath : public QObject {
    Q_OBJECT

  public:
    static constexpr int kGesturePauseMs = 1000;

    explicit EditPath(DeviceContext& ctx, QObject* parent = nullptr);
    ~EditPath() override;

    // Applies and records the edit (merged into the last step when it
    // continues the same gesture).
    void apply(Edit edit);
    // Applies the edit unless the store holds it already (a press that
    // moves nothing makes no step). Returns whether it was applied.
    bool applyIfChanges(Edit edit);

    bool canUndo() const { return stack_.canUndo(); }
    bool canRedo() const { return stack_.canRedo(); }
    void undo();
    void redo();
    // The names of the steps Undo and Redo would take (empty for none).
    EditText undoText() const;
    EditText redoText() const;
    int count() const { return stack_.count(); }

    // Ends the running gesture: the next edit starts a new step. A mouse
    // release and a focus change end it too, once they have been handled.
    void endGesture() { gestureOpen_ = false; }

    // A pull, a push or a loaded file replaced the store: the history goes.
    void clear();
    // The store matches its file now (saved or loaded).
    void setClean() { stack_.setClean(); }
    bool isClean() const { return stack_.isClean(); }

    QUndoStack& stack() { return stack_; }
    Editor& editor();

  signals:
    // Undo or redo changed the store: pages, dialogs and the ribbon reload.
    void restored();
    // The undo and redo texts or their availability changed.
    void historyChanged();
    void cleanChanged(bool clean);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class EditCommand;

    DeviceContext& ctx_;
    QUndoStack stack_;
    QElapsedTimer sinceLast_;
    bool gestureOpen_ = false;
};

}  // namespace v36
