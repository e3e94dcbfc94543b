#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the UI thread. The handler
// only writes one byte into a pipe; the notifier reads it in the event loop.
// One instance per process. UI thread.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    // Installs the handlers; false when the pipe or a handler could not be set up.
    bool install();

signals:
    void quitRequested();

private:
    void readPipe();
    QSocketNotifier* notifier = nullptr;
};
