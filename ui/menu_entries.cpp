#include "menu_entries.h"

#include <QAction>
#include <QMenu>

QMenu* AddMenu(QWidget* parent, const char* name, const QString& title) {
    auto* menu = new QMenu(title, parent);
    menu->setObjectName(name);
    return menu;
}

QAction* AddEntry(QMenu* menu, const char* name, const QString& caption,
                  const QKeySequence& shortcut) {
    QAction* entry = menu->addAction(caption);
    entry->setObjectName(name);
    entry->setShortcut(shortcut);
    return entry;
}

void AddSeparator(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(name);
}
