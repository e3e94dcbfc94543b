#pragma once
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "base/PassEvent.h"

class Kalvo;
class QWidget;
class QKeyEvent;

// The property on a top-level window that holds its window number.
inline constexpr const char* kWindowNumberProperty = "kalvoWindowNo";
void setWindowNumber(QWidget* window, int number);
int windowNumberOf(const QWidget* widget);  // of its top-level window; 0 if none

// Drives the shell's pass from Qt's event loop: a 105 ms timer and an
// application event filter run one pass after every input event or timeout,
// and the windows hand their control, menu, close and size events to
// deliver(). A pass never re-enters and does nothing while suspended.
// UI thread only.
class PassDriver : public QObject {
    Q_OBJECT
public:
    explicit PassDriver(Kalvo& k, QObject* parent = nullptr);
    ~PassDriver() override;

    // Starts passing (end of start-up). A quit asked for before runs now.
    void start();
    bool isRunning() const { return active; }
    // True once a pass has set quitRequested; finished() was emitted then.
    bool isDone() const { return done; }
    // True while a pass runs; an event delivered meanwhile is dropped.
    bool inAPass() const { return inPass; }

    // Runs one pass with event, unless not running or a pass is under way.
    void deliver(const PassEvent& event);
    // An orderly quit as "Beenden" (SIGTERM, SIGINT): runs with the next pass
    // that is not suspended; open blocking windows and message boxes are
    // closed (as if cancelled) until then.
    void requestQuit();

    // Passes run so far (for tests and diagnostics).
    int passCount() const { return passes; }
    // The pass event of an input event (key, mouse, wheel) that receiver got;
    // false for other events. Key presses in any window become KeyDown with
    // the virtual-key code (the pass dispatches those of the main and black
    // windows); keys without a code, and other input, become Input.
    static bool translateInput(const QWidget* receiver, const QEvent* event, PassEvent& out);
    // The virtual-key code of a key event: by the key's name, or for a
    // letter or digit of a non-Latin layout by its place; 0 when none.
    static int virtualKeyOf(const QKeyEvent* key);

signals:
    // The pass that set quitRequested is over; leave the event loop now.
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void timeout();

    Kalvo& k;
    QTimer timer;
    bool active = false;
    bool done = false;
    bool inPass = false;
    bool quitPending = false;
    int passes = 0;
    bool isPropagation(const QWidget* receiver, const QEvent* event) const;
    // A key combination in the main or black window that a binding names
    // with exactly its modifiers.
    bool bindsCombination(const QWidget* receiver, const QKeyEvent* key) const;

    const QEvent* lastEvent = nullptr;   // the input event seen last ...
    int lastType = 0;
    quint64 lastTimestamp = 0;
    QPointer<QWidget> lastReceiver;      // ... and where: propagation is not a new event
};
