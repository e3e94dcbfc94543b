#pragma once
#include "library/ListPanel.h"

class MainWindow;

// The list panel's widgets of the main window (the ">" button, the file
// list, the inner width) as the panel logic sees them. UI thread.
class ListPanelAdapter : public ListPanelView {
public:
    explicit ListPanelAdapter(MainWindow& window) : window(window) {}
    void setToggleCaption(const QString& caption) override;
    void setInnerWidth(int width) override;
    void showListFiles(const QString& directory, const QStringList& names) override;
    QString selectedName() const override;
    bool listHasFocus() const override;
    void focusListName() override;

private:
    MainWindow& window;
};
