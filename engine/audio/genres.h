#pragma once
// The 148 genre names: 0-79 the ID3v1 table, 80-147 its common extension.
// The spellings matter: WMA genres are matched by their text.

#include <QString>
#include <QStringList>

const QStringList &genre_names();
// Position of a name, compared exactly; -1 when no name is equal.
int genre_index_of(const QString &name);
