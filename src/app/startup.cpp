// The start-up of TMain: the order in which velmora comes up, and what it does when a step
// fails.
#include <QSignalBlocker>
#include <QTabWidget>

#include "app/debuglog.h"
#include "app/instance.h"
#include "gui/main_window.h"
#include "platform/platform.h"

void TMain::Startup() {
    const std::string key = instance_key();
    debug_print("===============================================\n");
    debug_print("VELMORA: Version %s\n", key);

    // A running copy shows the key in its caption once it has a board; a second copy would
    // fight it over the same chips.
    if (is_already_running(key)) {
        debug_print("VELMORA: Already running! -> Exiting now...\n");
        current_platform().exit_process(1);
        return;
    }

    if (is_windows_nt()) {
        debug_print("VELMORA: Windows NT/2000/XP detected\n");
    } else if (current_platform().os_family() == OsFamily::Linux) {
        debug_print("VELMORA: Linux detected\n");
    } else {
        debug_print("VELMORA: Windows 9x/ME detected\n");
    }

    if (InitValues(true)) {
        StartServices();
    } else {
        ShowWithoutBoard();
    }
}

bool TMain::InitValues(bool /*read_hardware*/) {
    board_count = boards_init(board_list);
    if (board_count == 0) {
        debug_print("VELMORA: Can't initialize boards!\n");
        return false;
    }
    return false;
}

void TMain::StartServices() {}

// Without a board only "Settings", where a board can be picked, and "About" stay.
void TMain::ShowWithoutBoard() {
    {
        const QSignalBlocker quiet(PageControl1);
        for (QWidget* sheet : {TabSheet1, TabSheet2, TabSheet4})
            PageControl1->setTabVisible(PageControl1->indexOf(sheet), false);
    }
    if (PageControl1->currentWidget() == TabSheet3) {
        CreateBoardList();
    } else {
        PageControl1->setCurrentWidget(TabSheet3);
    }
}
