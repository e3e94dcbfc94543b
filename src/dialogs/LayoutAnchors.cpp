#include "dialogs/LayoutAnchors.h"

#include <QEvent>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cmath>
#include <vector>

namespace {

struct Record {
    QPointer<QWidget> window;
    QPointer<QWidget> control;  // null for the window's own record
    bool isWindow = false;
    AnchorValues values;
};

std::vector<Record>& records() {
    static std::vector<Record> list;
    return list;
}

void dropDead() {
    auto& list = records();
    std::erase_if(list, [](const Record& r) { return !r.window || (!r.isWindow && !r.control); });
}

void store(QWidget* window, QWidget* control, const AnchorValues& values) {
    dropDead();
    for (Record& r : records()) {
        if (r.window == window && r.isWindow == (control == nullptr) && r.control == control) {
            r.values = values;
            return;
        }
    }
    records().push_back({window, control, control == nullptr, values});
}

class ResizeWatcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize && watched->isWidgetType())
            ResizeLayout(static_cast<QWidget*>(watched));
        return false;
    }
};

ResizeWatcher* watcher() {
    static ResizeWatcher* w = new ResizeWatcher;
    return w;
}

int addIgnoring(int value, int change) { return value == AnchorIgnore ? AnchorIgnore : value + change; }

}  // namespace

AnchorValues anchorRecord(const QString& letters, int x, int y, int width, int height) {
    AnchorValues v;
    if (letters.contains(QLatin1Char('L'))) v.left = x;
    if (letters.contains(QLatin1Char('O'))) v.top = y;
    if (letters.contains(QLatin1Char('R'))) v.width = width;
    if (letters.contains(QLatin1Char('U'))) v.height = height;
    return v;
}

ResizePlan planResize(int designedWidth, int designedHeight, int innerWidth, int innerHeight) {
    ResizePlan p;
    p.dw = innerWidth - designedWidth;
    p.dh = innerHeight - designedHeight;
    p.disable = p.dw < -5 || p.dh < -5;
    if (p.dw < 0) { p.fixWidth = true; p.dw = 0; }
    if (p.dh < 0) { p.fixHeight = true; p.dh = 0; }
    return p;
}

AnchorValues anchoredGeometry(const AnchorValues& r, int dw, int dh) {
    return {addIgnoring(r.left, dw), addIgnoring(r.top, dh), addIgnoring(r.width, dw), addIgnoring(r.height, dh)};
}

int scaled(int value, float layoutScale) { return int(std::lround(double(value) * double(layoutScale))); }

QFont layoutFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    return f;
}

void RegisterWindowLayout(QWidget* window, int x, int y, int width, int height) {
    if (!window) return;
    store(window, nullptr, {x, y, width, height});
    window->removeEventFilter(watcher());
    window->installEventFilter(watcher());
}

void AnchorControl(const QString& letters, QWidget* window, QWidget* control, int x, int y, int width,
                   int height) {
    if (letters.isEmpty() || !window || !control) return;
    store(window, control, anchorRecord(letters, x, y, width, height));
}

void ResizeLayout(QWidget* window) {
    static bool busy = false;  // the correction below resizes the window again
    if (!window || busy) return;
    const Record* own = nullptr;
    for (const Record& r : records())
        if (r.isWindow && r.window == window) own = &r;
    if (!own) return;
    busy = true;
    const AnchorValues designed = own->values;
    const ResizePlan plan = planResize(designed.width, designed.height, window->width(), window->height());

    QWidget* top = window->window();
    const bool wasEnabled = top->isEnabled();
    if (plan.disable) top->setEnabled(false);
    if (plan.fixWidth || plan.fixHeight) {
        // Grow the top-level window by what the inner area lacks.
        const int addW = plan.fixWidth ? designed.width - window->width() : 0;
        const int addH = plan.fixHeight ? designed.height - window->height() : 0;
        top->resize(top->width() + addW, top->height() + addH);
        if (window != top) window->resize(window->width() + addW, window->height() + addH);
    }
    if (plan.disable && wasEnabled) top->setEnabled(true);

    for (const Record& r : records()) {
        if (r.isWindow || r.window != window || !r.control) continue;
        const AnchorValues g = anchoredGeometry(r.values, plan.dw, plan.dh);
        const QRect now = r.control->geometry();
        r.control->setGeometry(g.left == AnchorIgnore ? now.x() : g.left, g.top == AnchorIgnore ? now.y() : g.top,
                               g.width == AnchorIgnore ? now.width() : g.width,
                               g.height == AnchorIgnore ? now.height() : g.height);
    }
    busy = false;
}

int anchorRecordCount(QWidget* window) {
    dropDead();
    int n = 0;
    for (const Record& r : records())
        if (r.window == window) ++n;
    return n;
}
