#include "app/edit_path.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QUndoCommand>

#include "context/device_context.h"

namespace v36 {

// One undo step: an edit as the editor applied it, with its old values.
class EditCommand : public QUndoCommand {
  public:
    static constexpr int kMergeableId = 0x3624;

    EditCommand(EditPath& path, Edit applied, bool mayMerge)
        : QUndoCommand(QString::fromStdString(applied.text().en)),
          path_(path),
          edit_(std::move(applied)),
          mayMerge_(mayMerge) {}

    const Edit& edit() const { return edit_; }

    int id() const override { return edit_.key().empty() ? -1 : kMergeableId; }

    void undo() override {
        path_.editor().undo(edit_);
        emit path_.restored();
    }

    void redo() override {
        // The first redo is the edit itself, already applied.
        if (first_) {
            first_ = false;
            return;
        }
        path_.editor().redo(edit_);
        emit path_.restored();
    }

    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const EditCommand*>(other);
        if (!next->mayMerge_ || !edit_.canMerge(next->edit_)) return false;
        edit_.merge(next->edit_);
        return true;
    }

  private:
    EditPath& path_;
    Edit edit_;
    bool mayMerge_;
    bool first_ = true;
};

EditPath::EditPath(DeviceContext& ctx, QObject* parent) : QObject(parent), ctx_(ctx) {
    connect(&stack_, &QUndoStack::indexChanged, this, &EditPath::historyChanged);
    connect(&stack_, &QUndoStack::cleanChanged, this, &EditPath::cleanChanged);
    if (QCoreApplication::instance()) QCoreApplication::instance()->installEventFilter(this);
}

EditPath::~EditPath() {
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(this);
}

Editor& EditPath::editor() {
    return ctx_.editor;
}

void EditPath::apply(Edit edit) {
    if (edit.empty()) return;
    Edit applied = ctx_.editor.apply(std::move(edit));
    const bool mayMerge = !applied.key().empty() && gestureOpen_ && sinceLast_.isValid() &&
                          sinceLast_.elapsed() <= kGesturePauseMs;
    gestureOpen_ = !applied.key().empty();
    sinceLast_.start();
    stack_.push(new EditCommand(*this, std::move(applied), mayMerge));
    emit historyChanged();
}

bool EditPath::applyIfChanges(Edit edit) {
    if (edit.empty() || !ctx_.editor.changes(edit)) return false;
    apply(std::move(edit));
    return true;
}

void EditPath::undo() {
    gestureOpen_ = false;
    stack_.undo();
}

void EditPath::redo() {
    gestureOpen_ = false;
    stack_.redo();
}

EditText EditPath::undoText() const {
    if (!stack_.canUndo()) return {};
    return static_cast<const EditCommand*>(stack_.command(stack_.index() - 1))->edit().text();
}

EditText EditPath::redoText() const {
    if (!stack_.canRedo()) return {};
    return static_cast<const EditCommand*>(stack_.command(stack_.index()))->edit().text();
}

void EditPath::clear() {
    gestureOpen_ = false;
    ctx_.editor.forgetSent();
    stack_.clear();
    emit historyChanged();
}

bool EditPath::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (gestureOpen_ && (type == QEvent::MouseButtonRelease || type == QEvent::FocusIn ||
                         type == QEvent::FocusOut)) {
        // Once the event has been handled: a control that reports its last
        // value on release still belongs to the gesture.
        QTimer::singleShot(0, this, [this] { gestureOpen_ = false; });
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace v36
