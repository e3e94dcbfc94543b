#pragma once

class Kalvo;
class QWidget;

// "Kalvo2 Dateien wiederherstellen": runs its own loop until closed.
void runRestoreDialog(Kalvo& k, QWidget* owner);
