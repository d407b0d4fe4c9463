// Key tips: the one or two characters shown on a ribbon item while the keyboard picks items
// (see TRibbonKeyTipMode). This is the pure part: which tip each item of one level gets.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace ribbon {

// One item that wants a tip: its caption, marks included, and the tip its owner chose
// (empty: take it from the caption).
struct TKeyTipRequest {
    QString Caption;
    QString Chosen;
};

// Tips for the items of one level, in their order: upper-case letters and digits, one or two
// characters, all different, and no tip the beginning of another (typing a tip never stops
// at another one). An item gets
//  - the tip its owner chose, unless an earlier chosen tip clashes with it;
//  - else its marked character ("&Open Image" gives "O") when no other item marks the same one;
//  - items marking the same character get two characters: the marked one, then the initial
//    of a later word (capitals first: "&Save Histogram" gives "SH"), else a later letter of
//    the caption, else any free letter;
//  - an item without a mark takes the first free initial of its words, else the first free
//    letter of its caption, else two characters as above.
// An item gets an empty tip only when the one and two-character tips run out, which takes
// hundreds of items.
QStringList RibbonKeyTips(const QList<TKeyTipRequest>& items);

} // namespace ribbon
