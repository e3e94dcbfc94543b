#include "shell/Kalvo.h"

void Shell::LoadSettings() {}
void Shell::SaveSettings() {}
