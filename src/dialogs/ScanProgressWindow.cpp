#include "dialogs/ScanProgressWindow.h"

ScanProgressWindow::ScanProgressWindow(QWidget* owner) : owner(owner) {}
ScanProgressWindow::~ScanProgressWindow() = default;
bool ScanProgressWindow::open() { return true; }
void ScanProgressWindow::setDirectory(const QString&) {}
void ScanProgressWindow::setFile(const QString&) {}
void ScanProgressWindow::close() {}
