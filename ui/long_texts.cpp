#include "long_texts.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>

void ScrollSidewaysToLongTexts(QTreeView* tree) {
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void WidenListToNames(QComboBox* combo) {
    QAbstractItemView* list = combo->view();
    // Room for a scroll bar too: a long list scrolls.
    list->setMinimumWidth(list->sizeHintForColumn(0) + 2 * list->frameWidth() +
                          list->verticalScrollBar()->sizeHint().width());
}
