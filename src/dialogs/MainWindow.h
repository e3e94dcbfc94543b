#pragma once
#include <QHash>
#include <QMainWindow>
#include <functional>

#include "base/MainView.h"
#include "base/PassEvent.h"

class QAction;
class QCheckBox;
class QLineEdit;
class QSlider;
class QSpinBox;
class QTreeWidget;
class QPushButton;

// The main window: the control panel with its numbered controls and the
// menu bar. It holds no decisions: every user action on a control or a menu
// item, and the close request, goes to the event sink as a PassEvent. The
// setters of MainView do not raise events. UI thread only.
class MainWindow : public QMainWindow, public MainView {
public:
    using EventSink = std::function<void(const PassEvent&)>;

    // Builds the window with all controls, tooltips and its layout record,
    // at 100, 100, titled "Kalvo2"; not shown yet.
    explicit MainWindow(float layoutScale = 1.0f);
    ~MainWindow() override;

    void setEventSink(EventSink sink) { this->sink = std::move(sink); }
    // Creates the menu bar; false when it could not be created.
    bool createMenu();

    // The control with that number (2..30), or null.
    QWidget* control(int number) const { return controls.value(number); }
    // The menu action with that item number (1..11), or null.
    QAction* menuAction(int item) const { return actions.value(item); }
    // The inner area below the menu bar that the control coordinates refer to.
    QWidget* clientArea() const { return client; }
    // Sets the inner width (the list panel widens the window); the height stays.
    void setInnerWidth(int width);
    // Sizes the list panel's columns to its rows: the size and date columns
    // as wide as their texts, the name column as set but narrow enough for
    // the size column to show whole beside it. The user can widen any.
    void fitListPanelColumns();
    // Lets the next close request really close the window (exit step 3).
    void closeForGood();

    // MainView
    void setTitle(const QString& text) override;
    void setListName(const QString& text) override;
    void setPathText(const QString& text) override;
    QString pathText() const override;
    void setSongText(const QString& text) override;
    QString songText() const override;
    void setCounterText(const QString& text) override;
    void setTimeText(const QString& text) override;
    void setPositionText(const QString& text) override;
    int volumeSlider() const override;
    void setVolumeSlider(int value) override;
    bool blackscreenBox() const override;
    void setBlackscreenBox(bool on) override;
    bool weckenBox() const override;
    void setWeckenBox(bool on) override;
    int alarmHour() const override;
    void setAlarmHour(int hour) override;
    int alarmMinute() const override;
    void setAlarmMinute(int minute) override;
    QString snoozeText() const override;
    void setSnoozeText(const QString& text) override;
    bool fortfBox() const override;
    void setFortfBox(bool on) override;
    bool zufallBox() const override;
    void setZufallBox(bool on) override;
    int windowX() const override;
    int windowY() const override;
    void moveWindow(int x, int y) override;
    int innerWidth() const override;
    int innerHeight() const override;
    void setListPanelColumnWidth(int width) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildControls();
    void emitEvent(const PassEvent& event) const;
    void emitControl(int number, int subType) const;
    QLineEdit* field(int number) const;
    QCheckBox* box(int number) const;
    QSpinBox* spin(int number) const;

    float layoutScale;
    QWidget* client = nullptr;
    QHash<int, QWidget*> controls;
    QHash<int, QAction*> actions;
    EventSink sink;
    bool closingForGood = false;
    int panelNameWidth = 0;  // the list panel's name column as set
};
