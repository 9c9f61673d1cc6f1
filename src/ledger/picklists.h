#pragma once

#include <QString>

class SharedQuery;

// The four pick lists of the lists file: major and minor product categories, units and order
// categories. An entry is one text; products and orders copy the text, so changing or removing
// an entry leaves what already carries it as it is. Empty and repeated texts are taken as the
// table takes them.
namespace PickLists {

enum class List { Major, Minor, Unit, OrderCategory };

// The list's table: a1, a2, a3, a4 (key zid, entry z1).
QString table(List list);

// Adds an entry; returns its key.
qint64 add(List list, const QString& text);
// Gives an entry another text. An entry that is gone (removed at another till) stays gone:
// nothing is written.
void rename(List list, qint64 entry, const QString& text);
// Removes an entry at once.
void remove(List list, qint64 entry);

// Lets a shared query over the list be edited in place, its rows stored through the operations
// above (the pick-list editor's grids).
void editIn(SharedQuery& query, List list);

} // namespace PickLists
