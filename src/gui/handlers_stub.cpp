// Handlers whose work is still to come: each event already reaches its method, which does
// nothing yet.
#include "gui/main_window.h"

void TMain::Chipset(QObject*) {}
void TMain::CreateBoardList(QObject*) {}
void TMain::SetBoard(QObject*) {}
void TMain::EnableAutoFSB(QObject*) {}
void TMain::AutoFSB(QObject*) {}
void TMain::AddPreset(QObject*) {}
void TMain::RemovePreset(QObject*) {}
void TMain::ApplyPreset(QObject*) {}
void TMain::EnableAutoFan(QObject*) {}
void TMain::ArmOverTemperature() {}
void TMain::AutoFanStep() {}
