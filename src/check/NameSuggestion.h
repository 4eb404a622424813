#pragma once

#include <QString>
#include <QStringView>
#include <span>

// The known name closest to a mistyped one, for "did you mean ...?": within two edits,
// and fewer than half the name's letters, so that a short name is not taken for
// another short one. Empty when none is that close.
QString closestName(QStringView name, std::span<const QString> known);
