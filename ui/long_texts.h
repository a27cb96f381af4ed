// What a control does with a text longer than itself, so that no text is cut
// for good: a tree scrolls sideways, a selector's list widens.
#pragma once

class QComboBox;
class QTreeView;

// Lets the tree's column grow with its longest text and the tree scroll
// sideways to it, as a tree control does, instead of cutting the text.
void ScrollSidewaysToLongTexts(QTreeView* tree);

// Makes the selector's open list at least as wide as its widest entry; call it
// after the entries are in.
void WidenListToNames(QComboBox* combo);
