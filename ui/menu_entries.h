// Menus and menu entries named as the windows' controls are named, so that
// the program and its tests find them by name.
#pragma once

#include <QKeySequence>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// A named menu owned by parent; the caller puts it in a menu bar or a menu.
QMenu* AddMenu(QWidget* parent, const char* name, const QString& title);

// Appends a named entry with its shortcut (none by default) to the menu.
QAction* AddEntry(QMenu* menu, const char* name, const QString& caption,
                  const QKeySequence& shortcut = {});

// Appends a named separator line to the menu.
void AddSeparator(QMenu* menu, const char* name);
