#include "app/undo_keys.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace v36 {

namespace {

QList<QKeySequence> withExtra(QKeySequence::StandardKey standard, QList<QKeySequence> extra) {
    QList<QKeySequence> keys = QKeySequence::keyBindings(standard);
    for (const QKeySequence& k : extra) {
        if (!keys.contains(k)) keys.append(k);
    }
    return keys;
}

// The line edit that holds a box's text: the box itself or the spin box's.
QLineEdit* textOf(QObject* box) {
    if (auto* edit = qobject_cast<QLineEdit*>(box)) return edit;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(box)) return spin->findChild<QLineEdit*>();
    return nullptr;
}

bool isEnter(const QKeyEvent* key) {
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

QList<QKeySequence> undoKeys() {
    return withExtra(QKeySequence::Undo, {QKeySequence(Qt::CTRL | Qt::Key_Z)});
}

QList<QKeySequence> redoKeys() {
    return withExtra(QKeySequence::Redo, {QKeySequence(Qt::CTRL | Qt::Key_Y),
                                          QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
}

CUndoKeys::CUndoKeys(QWidget* window) : QObject(window), window_(window) {}

bool CUndoKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress && type != QEvent::FocusOut)
        return false;
    QLineEdit* text = textOf(watched);
    if (!text || !window_ || text->window() != window_) return false;
    // An edit is committed once entered or left: from then on the box holds
    // nothing of its own to undo. (A page that sets the text after the
    // commit clears the mark as well.)
    if (type == QEvent::FocusOut) {
        text->setModified(false);
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::KeyPress) {
        if (isEnter(key)) {
            QPointer<QLineEdit> box(text);
            QMetaObject::invokeMethod(
                text,
                [box] {
                    if (box) box->setModified(false);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
    const QKeySequence pressed(key->keyCombination());
    if (!undoKeys().contains(pressed) && !redoKeys().contains(pressed)) return false;
    if (text->isModified() && !text->isReadOnly()) return false;  // the box's own typing
    // Not overridden: the window's shortcut takes the key.
    event->ignore();
    return true;
}

}  // namespace v36
