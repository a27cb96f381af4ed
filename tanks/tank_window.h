// The tank memory window: a tree of the internal and external tanks with their
// delays, and ten rows describing the tank selected in it. F5 re-reads the chip.
#pragma once

#include "tank_memory.h"
#include "view_menu_window.h"

class QTreeWidget;
class QTreeWidgetItem;

class TankWindow : public ViewMenuWindow {
    Q_OBJECT
  public:
    // Reads the chip and keeps its tanks in the program's tank state.
    explicit TankWindow(QAction* viewEntry, QWidget* parent = nullptr);
    // Reads through read and keeps its tanks in tanks.
    TankWindow(QAction* viewEntry, TankMemory& tanks, TramReader read, QWidget* parent = nullptr);

    // Analyses the chip's tanks and rebuilds the tree with the root selected.
    void ShowTanks();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateMenus();
    void InitTankInfoRows();
    void ShowTankInfo();
    void Update();
    void AddTankNodes(QTreeWidgetItem* pool, TankPool kind, const TankList& list);
    void SelectNode(QTreeWidgetItem* node);
    void FitControls(const QSize& client);

    TankMemory& tanks_;
    TramReader read_;
    QTreeWidget* tree_ = nullptr;
    QTreeWidget* info_ = nullptr;
    bool selectingFromProgram_ = false;
};
