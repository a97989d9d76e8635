#include "platform/WildcardMatch.h"

#include <QList>

namespace folvane {

namespace {

// Case folding per code point, so "?" takes one character even outside the basic plane and
// letters such as "Ä"/"ä" compare equal.
QList<uint> folded(const QString &text)
{
    QList<uint> out = text.toUcs4();
    for (uint &c : out)
        c = QChar::toCaseFolded(c);
    return out;
}

}  // namespace

bool WildcardMatch(const QString &name, const QString &pattern)
{
    const QList<uint> n = folded(name);
    const QList<uint> p = folded(pattern);
    // Greedy scan that backs up to the last "*" on a mismatch: linear in practice and never
    // exponential, whatever the number of stars.
    qsizetype i = 0, j = 0;
    qsizetype starP = -1, starN = 0;
    while (i < n.size()) {
        if (j < p.size() && p[j] == uint('*')) {
            starP = j++;
            starN = i;
        } else if (j < p.size() && (p[j] == uint('?') || p[j] == n[i])) {
            ++i;
            ++j;
        } else if (starP >= 0) {
            j = starP + 1;
            i = ++starN;
        } else {
            return false;
        }
    }
    while (j < p.size() && p[j] == uint('*'))
        ++j;
    return j == p.size();
}

}  // namespace folvane
