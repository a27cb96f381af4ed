// Drives a code view from the key map: a bound key runs its view command, any
// other key does nothing (so the listing cannot be edited from the keyboard,
// and shortcuts of the window's menus still reach the window).
#pragma once

#include "key_map.h"

#include <QObject>

#include <vector>

class QsciScintilla;

class KeyMapFilter : public QObject {
    Q_OBJECT
  public:
    KeyMapFilter(QsciScintilla* view, const std::vector<KeyBinding>& map);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QsciScintilla* view_;
    const std::vector<KeyBinding>& map_;
};

// The virtual-key code of a Qt key, or 0 for keys the key map cannot name.
int VirtualKeyOf(int qtKey);
// Shift 1, Ctrl 2, Alt 4.
int KeyMapModifiersOf(Qt::KeyboardModifiers modifiers);
// The editor message a key-map command number runs, or 0 for an unknown one.
int ViewCommandMessage(int command);
