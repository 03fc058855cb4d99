#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace v36 {

// The program's Undo and Redo keys: the platform's own, Ctrl+Z for Undo,
// Ctrl+Y and Ctrl+Shift+Z for Redo, each once.
QList<QKeySequence> undoKeys();
QList<QKeySequence> redoKeys();

// Lets the program's Undo and Redo keys win in the text and spin boxes of
// a window. A box takes the keys for its own history only while it holds a
// text edit of its own that is not yet committed (typed, and neither
// entered nor left); otherwise the keys undo and redo the program's steps,
// as they do everywhere else in the window. Installed once on the
// application, it serves every box of the window.
class CUndoKeys : public QObject {
    Q_OBJECT

  public:
    explicit CUndoKeys(QWidget* window);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> window_;
};

}  // namespace v36
