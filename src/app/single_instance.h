#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace v36 {

// One running instance per user and display: the first start listens on a local
// socket; a later start connects, hands over its file argument (possibly
// empty) and ends. The first instance then brings its window to the front
// and opens the file.
class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Outcome {
        First,         // this process is the instance
        Handed,        // another instance took over
        NoMainWindow,  // another instance runs but did not answer
        ServerFailed,  // the local socket could not be created
    };

    // The default name: "DWX-10", the user's name and the display (or
    // session) the window appears on, so that a start on another display
    // gets a window of its own there.
    static QString defaultName();
    // The name for a user and a display; characters a socket name may not
    // hold become '_'.
    static QString nameFor(const QString& user, const QString& display);

    explicit SingleInstance(QString name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the instance, or hands `file` over to the running one.
    Outcome start(const QString& file);

  signals:
    // A later start handed over its file (empty when it had none).
    void activated(const QString& file);

  private:
    void onConnection();

    QString name_;
    QLocalServer* server_ = nullptr;
};

}  // namespace v36
