// TMain, velmora's one window: every control, the timers and the application's state.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <string>
#include <vector>

#include "app/port_setup.h"
#include "board/boards.h"
#include "board/chipset.h"
#include "sensors/smi.h"

class Prompts;
class QCloseEvent;
class QLabel;
class QPlainTextEdit;
class QStatusBar;
class QTabWidget;
class QTimer;

class TMain : public QMainWindow {
    Q_OBJECT

  public:
    // Builds the window and runs the start-up: banner, single-instance and OS checks, the
    // board and its values, the services. May end the process through the platform.
    TMain(Prompts& prompts, std::vector<std::string> args, StartupNotes notes = {},
          QWidget* parent = nullptr);

    // (Re)reads settings and, when asked, the hardware's values. True when a board is in use.
    bool InitValues(bool read_hardware);
    // (Re)starts the periodic services once a board is in use.
    void StartServices();

    // Handlers raised by showing a tab.
    void Settings();
    void Chipset();
    void CreateBoardList();

    // Controls, named as in the form.
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QWidget* TabSheet3 = nullptr;
    QWidget* TabSheet4 = nullptr;
    QWidget* TabSheet5 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLabel* LabelBoardSource = nullptr;  // About tab: real or simulated board
    QTimer* Timer1 = nullptr;
    QTimer* TimerAutoFSBmax = nullptr;
    QTimer* TimerAutoFSBmin = nullptr;

    // Application state.
    uint32_t port_access_result = 0;
    int32_t board_number = NO_BOARD;
    int32_t board_count = 0;
    std::vector<Board> board_list;
    Board board;
    SmiInterface smi;
    ChipsetSettings chipset{};
    double cpu_multiplier = 0.0;
    // The eight adjustable quantities: as the hardware held them when last read, as the
    // controls or the command line select them, and as Apply last sent them.
    struct MainValues {
        double vcore = 0.0, vdimm = 0.0, vdd = 0.0, vagp = 0.0;
        int32_t fsb = 0, tras = 0, trcd = 0, trp = 0;
    };
    MainValues values_read, values_selected, values_applied;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void CreateControls();
    QWidget* CreateAboutTab();
    void ConnectEvents();
    void Startup();
    bool OpenPortsNt();
    bool OpenPortsLinux();
    void AnnounceBoardSource();
    void ShowWithoutBoard();
    void TabShown(int index);

    Prompts& prompts_;
    std::vector<std::string> args_;
    StartupNotes notes_;
};
