// Handlers whose work is still to come: each event already reaches its method, which does
// nothing yet.
#include "gui/main_window.h"

void TMain::EnableAutoFSB(QObject*) {}
void TMain::AutoFSB(QObject*) {}
void TMain::ArmOverTemperature() {}
