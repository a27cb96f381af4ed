// winRifx, "FX Code View (eapsfx.dll)": the effect programs of the sound
// driver's effects library. The user picks an effect by name; its tables show
// as a tree of chunks with their values and its code as a listing, decoded
// like the chip's own microcode.
#pragma once

#include "effects_library.h"
#include "view_menu_window.h"

#include <functional>

class QAction;
class QComboBox;
class QTreeWidget;
class QsciScintilla;

class RifxWindow : public ViewMenuWindow {
    Q_OBJECT
  public:
    // Makes the private copy of the library ready and scans it (once a run).
    using LibraryPreparer = std::function<PreparedLibrary()>;

    // Loads the window: shows it, prepares the library, lists the effects
    // and shows the first one.
    explicit RifxWindow(
        QAction* viewEntry, LibraryPreparer prepare = [] { return PrepareEffectsLibrary(); },
        QWidget* parent = nullptr);

    // The code view calls this after it moves the selection; this window
    // shows nothing that depends on the caret.
    Q_INVOKABLE int SelChanged() { return 0; }

  private:
    void BuildMenus();
    void FillEffectList(const PreparedLibrary& library);
    void SelectEffect(int index);
    void ShowEffect();
    void ShowListingText(const QString& text);

    QComboBox* cmbFX_;
    QTreeWidget* trvFX_;
    QsciScintilla* codeView_;
};
