// The register window: the register image 0x100 to 0x2FF as a grid of
// hexadecimal words, four to a row, with the registers that changed since the
// read before drawn in navy; the selected register in hex, integer and
// fraction with its four earlier values; F5 re-reads the chip and the Find
// menu jumps to the next changed register.
#pragma once

#include "changed_registers.h"
#include "view_menu_window.h"

#include <QBrush>
#include <QColor>

#include <cstdint>
#include <functional>

class QTableWidget;
class QTreeWidget;

class RegisterWindow : public ViewMenuWindow {
    Q_OBJECT
  public:
    // Shows the program's register snapshot and reads the chip into it.
    explicit RegisterWindow(QAction* viewEntry, QWidget* parent = nullptr);
    // Shows images; read ages and refills them (one chip read).
    RegisterWindow(QAction* viewEntry, const GprHistory& images, std::function<void()> read,
                   QWidget* parent = nullptr);

    // -1 when register i differs from the read before, else 0 (also on the
    // first read, which has nothing to compare with).
    int32_t CompareRegisters(int32_t i) const;

    // Colours the grid cell of register CellIndex; the current cell stays
    // where it was and the cell reactions stay quiet meanwhile.
    void SetCellColor(int32_t CellIndex, const QColor& cForecolor, const QColor& cBackcolor);

  private:
    void CreateControls();
    void CreateMenus();
    void SetupGrid();
    void SetupRegisterInfo();
    void SetupHistory();

    void Refresh();
    void Update();
    void ShowSelectedRegister();
    void CurrentCellChanged(int row, int column, int previousRow, int previousColumn);
    void CellEntered();
    void CellLeft(int row, int column);
    void FindChanged(RegisterRange range);
    bool RowInView(int row) const;

    const GprHistory& images_;
    std::function<void()> read_;
    QTableWidget* grid_ = nullptr;
    QTableWidget* info_ = nullptr;
    QTreeWidget* history_ = nullptr;

    // The register index of the current cell.
    int32_t SelectedRegister = 0;
    // The text colour the current cell had before it was highlighted; no
    // brush means the grid's normal colour.
    QBrush SavedForeColor;
    // While set, entering and leaving cells changes nothing.
    bool SuppressCellEvents = false;
};
