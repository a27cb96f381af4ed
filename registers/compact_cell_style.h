// A style for grids whose columns are just wide enough for their text: cell
// text keeps one pixel from the cell's edges instead of the style's wider
// margin, so eight hexadecimal digits fit a register column unshortened.
#pragma once

class QStyle;

// One instance for the whole program, owned by the application object.
QStyle* CompactCellStyle();
