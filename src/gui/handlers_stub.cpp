// Handlers whose work is still to come: each event already reaches its method, which does
// nothing yet.
#include "gui/main_window.h"

void TMain::AddPreset(QObject*) {}
void TMain::RemovePreset(QObject*) {}
void TMain::ApplyPreset(QObject*) {}
void TMain::EnableAutoFan(QObject*) {}
void TMain::AutoFanStep() {}
