#include "NameSuggestion.h"

#include <algorithm>
#include <vector>

namespace {

// Edit distance (insert, delete, replace) of two names, or limit + 1 once it is past it.
int distance(QStringView a, QStringView b, int limit)
{
    if (std::abs(int(a.size() - b.size())) > limit)
        return limit + 1;
    std::vector<int> row(size_t(b.size() + 1));
    for (size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        int best = row[0];
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const int above = row[size_t(j)];
            row[size_t(j)] =
                std::min({above + 1, row[size_t(j - 1)] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
            best = std::min(best, row[size_t(j)]);
        }
        if (best > limit)
            return limit + 1;
    }
    return row.back();
}

} // namespace

QString closestName(QStringView name, std::span<const QString> known)
{
    QString best;
    int bestDistance = std::min<int>(2, int(name.size() - 1) / 2) + 1;
    for (const QString &candidate : known) {
        const int d = distance(name, candidate, bestDistance - 1);
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}
