#include "dialogs/LayoutAnchors.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The anchoring of one window: its designed inner size and the records of its
// anchored controls. A child object of the window, so it ends with it; it
// watches the window's size changes.
class WindowLayout : public QObject {
public:
    WindowLayout(QWidget* window, const AnchorValues& designed) : QObject(window), window(window), designed(designed) {
        window->installEventFilter(this);
        add(this);
    }

    // The layout of window, or null; never touches a window that is gone.
    static WindowLayout* of(const QWidget* window);
    static void add(WindowLayout* layout);

    void setDesigned(const AnchorValues& values) { designed = values; }
    void allowLower(int height) { lowest = height; }
    void anchor(QWidget* control, const AnchorValues& values);
    void resizeLayout();
    int recordCount();

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window && event->type() == QEvent::Resize) resizeLayout();
        return false;
    }

private:
    struct ControlRecord {
        QPointer<QWidget> control;
        AnchorValues values;
    };
    QWidget* window;
    AnchorValues designed;
    int lowest = INT_MAX;  // below the designed height, where the screen allows no more
    std::vector<ControlRecord> controls;
    bool busy = false;  // the size correction resizes the window again

    void dropDead() { std::erase_if(controls, [](const ControlRecord& r) { return !r.control; }); }
};

// Finds the layout of a window by address without touching the window: the
// layouts of windows that are gone have gone with them. Owned by the
// application object, so it lives exactly as long as the windows can.
class LayoutRegistry : public QObject {
public:
    using QObject::QObject;
    std::vector<QPointer<WindowLayout>> layouts;

    static LayoutRegistry* instance() {
        QObject* app = QCoreApplication::instance();
        if (!app) return nullptr;
        // Not a Q_OBJECT class, so qobject_cast cannot tell it apart.
        for (QObject* child : app->children())
            if (auto* r = dynamic_cast<LayoutRegistry*>(child)) return r;
        return new LayoutRegistry(app);
    }
};

WindowLayout* WindowLayout::of(const QWidget* window) {
    LayoutRegistry* r = window ? LayoutRegistry::instance() : nullptr;
    if (!r) return nullptr;
    std::erase_if(r->layouts, [](const QPointer<WindowLayout>& l) { return !l; });
    for (const QPointer<WindowLayout>& l : r->layouts)
        if (l->window == window) return l;
    return nullptr;
}

void WindowLayout::add(WindowLayout* layout) {
    if (LayoutRegistry* r = LayoutRegistry::instance()) r->layouts.push_back(layout);
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

ResizePlan planResize(int designedWidth, int designedHeight, int innerWidth, int innerHeight, int lowestHeight) {
    const int lowest = std::min(designedHeight, lowestHeight);
    ResizePlan p;
    p.dw = innerWidth - designedWidth;
    p.dh = innerHeight - designedHeight;
    p.disable = p.dw < -5 || innerHeight - lowest < -5;
    if (p.dw < 0) { p.fixWidth = true; p.dw = 0; }
    if (innerHeight < lowest) { p.fixHeight = true; p.dh = lowest - designedHeight; }
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

void WindowLayout::anchor(QWidget* control, const AnchorValues& values) {
    dropDead();
    for (ControlRecord& r : controls) {
        if (r.control == control) {
            r.values = values;
            return;
        }
    }
    controls.push_back({control, values});
}

void WindowLayout::resizeLayout() {
    if (busy) return;
    busy = true;
    const ResizePlan plan = planResize(designed.width, designed.height, window->width(), window->height(), lowest);

    QWidget* top = window->window();
    const bool wasEnabled = top->isEnabled();
    if (plan.disable) top->setEnabled(false);
    if (plan.fixWidth || plan.fixHeight) {
        // Grow the top-level window by what the inner area lacks.
        const int addW = plan.fixWidth ? designed.width - window->width() : 0;
        const int addH = plan.fixHeight ? designed.height + plan.dh - window->height() : 0;
        top->resize(top->width() + addW, top->height() + addH);
        if (window != top) window->resize(window->width() + addW, window->height() + addH);
    }
    if (plan.disable && wasEnabled) top->setEnabled(true);

    dropDead();
    for (const ControlRecord& r : controls) {
        const AnchorValues g = anchoredGeometry(r.values, plan.dw, plan.dh);
        const QRect now = r.control->geometry();
        r.control->setGeometry(g.left == AnchorIgnore ? now.x() : g.left, g.top == AnchorIgnore ? now.y() : g.top,
                               g.width == AnchorIgnore ? now.width() : g.width,
                               g.height == AnchorIgnore ? now.height() : g.height);
    }
    busy = false;
}

int WindowLayout::recordCount() {
    dropDead();
    return 1 + int(controls.size());
}

void RegisterWindowLayout(QWidget* window, int x, int y, int width, int height) {
    if (!window) return;
    if (WindowLayout* layout = WindowLayout::of(window)) layout->setDesigned({x, y, width, height});
    else new WindowLayout(window, {x, y, width, height});
}

void AnchorControl(const QString& letters, QWidget* window, QWidget* control, int x, int y, int width,
                   int height) {
    if (letters.isEmpty() || !control) return;
    if (WindowLayout* layout = WindowLayout::of(window)) layout->anchor(control, anchorRecord(letters, x, y, width, height));
}

void ResizeLayout(QWidget* window) {
    if (WindowLayout* layout = WindowLayout::of(window)) layout->resizeLayout();
}

void AllowLowerWindow(QWidget* window, int height) {
    if (WindowLayout* layout = WindowLayout::of(window)) layout->allowLower(height);
}

int anchorRecordCount(QWidget* window) {
    WindowLayout* layout = WindowLayout::of(window);
    return layout ? layout->recordCount() : 0;
}
