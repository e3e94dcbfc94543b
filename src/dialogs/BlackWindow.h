#pragma once
#include <QWidget>
#include <functional>

#include "base/PassEvent.h"

// "Kalvo BlackWin", window 101: frameless, always on top, black, covering
// the primary screen. It has no controls; its key-downs reach the pass
// through the application's input filter, its close request (Alt+F4) goes
// to the sink as the window's close event. UI thread only.
class BlackWindow : public QWidget {
public:
    explicit BlackWindow(std::function<void(const PassEvent&)> sink);
    // Covers the primary screen and takes the focus; false when there is no
    // screen to cover.
    bool open();
    // Closes it for good (the close request only asks the pass).
    void closeForGood();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void(const PassEvent&)> sink;
    bool closingForGood = false;
};
