#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace v36 {

// One running instance per user: the first start listens on a local
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

    // The default name: "DWX-10" and the user's name.
    static QString defaultName();

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
