// SPDX-License-Identifier: GPL-2.0-or-later
// Tab "Settings": program options and the choice of board.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/version.h"
#include "gui/form.h"
#include "gui/main_window.h"

namespace {
constexpr int kSpinWidth = 56;
constexpr int kBoardListWidth = 260;
}  // namespace

QWidget* SettingsTab::Create() {
    auto* sheet = new QWidget;
    sheet->setObjectName("TabSheet3");

    GroupBox1 = form::group(sheet, "GroupBox1", "Settings");
    CSpinEditLoadUpdate = form::spin_edit(GroupBox1, "CSpinEditLoadUpdate", 1, 60, 1, 5,
                                          "The CPU load is measured in average over this time (s)");
    CSpinEditLoadUpdate->setFixedWidth(kSpinWidth);
    CheckBoxReset = form::check_box(GroupBox1, "CheckBoxReset", "Reset values before exit",
                                    "Resets all values before exit");
    CheckBoxMinimized = form::check_box(GroupBox1, "CheckBoxMinimized", "Start minimized",
                                        "Start velmora minimized");

    // The board list: the board found or stored, or any other one picked by hand.
    GroupBoxBoard = form::group(GroupBox1, "GroupBoxBoard", "Board");
    ComboBoxBoard = form::fixed_list(GroupBoxBoard, "ComboBoxBoard", {});
    ComboBoxBoard->setMinimumWidth(kBoardListWidth);
    Button1 = form::button(GroupBoxBoard, "Button1", "Set");
    {
        auto* row = new QHBoxLayout(GroupBoxBoard);
        row->setContentsMargins(8, 6, 8, 8);
        row->addWidget(form::caption_for(ComboBoxBoard, "Board:"));
        row->addWidget(ComboBoxBoard);
        row->addWidget(Button1);
        row->addStretch(1);
    }

    auto* grid = new QGridLayout(GroupBox1);
    grid->setContentsMargins(8, 6, 8, 8);
    grid->setVerticalSpacing(6);
    grid->addWidget(form::caption_for(CSpinEditLoadUpdate, "CPU load measure time"), 0, 0);
    grid->addWidget(CSpinEditLoadUpdate, 0, 1);
    grid->addWidget(CheckBoxReset, 1, 0, 1, 3);
    grid->addWidget(CheckBoxMinimized, 2, 0, 1, 3);
    grid->addWidget(GroupBoxBoard, 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);

    auto* page = new QVBoxLayout(sheet);
    page->setContentsMargins(6, 6, 6, 6);
    page->addWidget(GroupBox1);
    page->addWidget(window_.history_tab.CreateCsvFileGroup(sheet));
    page->addStretch(1);
    return sheet;
}

QWidget* SettingsTab::CreateAbout() {
    auto* sheet = new QWidget;
    sheet->setObjectName("TabSheet5");
    auto* layout = new QVBoxLayout(sheet);
    auto* name = new QLabel(QString("velmora ") + kVersionText, sheet);
    QFont big = name->font();
    big.setPointSize(14);
    big.setBold(true);
    name->setFont(big);
    layout->addWidget(name);
    layout->addWidget(new QLabel("For command-line options run: velmora -h", sheet));
    LabelBoardSource = new QLabel(sheet);
    LabelBoardSource->setObjectName("LabelBoardSource");
    layout->addWidget(LabelBoardSource);
    layout->addWidget(
        new QLabel("A tuning and monitoring tool for nForce2 (Socket A) mainboards.", sheet));
    Memo1 = new QPlainTextEdit(sheet);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setPlainText(
        "Thanks to everyone who read out registers on their own boards, sent in debug logs "
        "and tested voltage tables: this tool is as good as your reports.\n\n"
        "Settings live in config.ini and the debug log in velmora.deb, both in the working "
        "directory. Please attach velmora.deb to every bug report.");
    layout->addWidget(Memo1);
    return sheet;
}
