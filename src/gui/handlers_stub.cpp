// Handlers whose work is still to come: each event already reaches its method, which does
// nothing yet.
#include "gui/main_window.h"

void TMain::CloseFunc(QObject*) {}
void TMain::Exit(QObject*) {}
void TMain::Reset(QObject*) {}
void TMain::LoadUpdateChange(QObject*) {}
void TMain::TrackBarChange(QObject*) {}
void TMain::UpDownChange(QObject*) {}
void TMain::TrackBarFSBChange(QObject*) {}
void TMain::UpDownFSBClick(QObject*) {}
void TMain::RamChange(QObject*) {}
void TMain::Apply(QObject*) {}
void TMain::Chipset(QObject*) {}
void TMain::CreateBoardList(QObject*) {}
void TMain::SetBoard(QObject*) {}
void TMain::UpdateSensor(QObject*) {}
void TMain::SensorUpdateChange(QObject*) {}
void TMain::Settings(QObject*) {}
void TMain::SetSensor(QObject*) {}
void TMain::SetSensorCTL(QObject*) {}
void TMain::SetFSBRange(QObject*) {}
void TMain::EnableAutoFSB(QObject*) {}
void TMain::MaxTempChange(QObject*) {}
void TMain::SetDelayChange(QObject*) {}
void TMain::SetAutoFSBload(QObject*) {}
void TMain::AutoFSB(QObject*) {}
void TMain::AddPreset(QObject*) {}
void TMain::RemovePreset(QObject*) {}
void TMain::ApplyPreset(QObject*) {}
void TMain::EnableAutoFan(QObject*) {}
