#include "ribbon_text.h"

#include <QAction>
#include <QFontMetrics>
#include <QKeySequence>

#include <algorithm>

namespace ribbon {

QString RibbonPlainText(const QString& caption) {
    QString plain;
    plain.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            ++i; // the next character is shown as it is; a lone mark at the end vanishes
            if (i == caption.size())
                break;
        }
        plain += caption[i];
    }
    return plain;
}

QChar RibbonMnemonic(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != u'&')
            continue;
        if (caption[i + 1] != u'&')
            return caption[i + 1].toUpper();
        ++i; // "&&" is a plain ampersand
    }
    return {};
}

QString RibbonEscapeMarks(const QString& text) {
    QString escaped = text;
    return escaped.replace(u'&', QStringLiteral("&&"));
}

QStringList RibbonCaptionLines(const QString& caption, const QFontMetrics& metrics, int wrapWidth) {
    const QString trimmed = caption.trimmed();
    if (metrics.horizontalAdvance(RibbonPlainText(trimmed)) <= wrapWidth)
        return {caption};

    int bestWidth = -1;
    QStringList best{caption};
    for (qsizetype i = trimmed.indexOf(u' '); i > 0; i = trimmed.indexOf(u' ', i + 1)) {
        const QString first = trimmed.left(i).trimmed();
        const QString second = trimmed.mid(i + 1).trimmed();
        if (first.isEmpty() || second.isEmpty())
            continue;
        const int width = std::max(metrics.horizontalAdvance(RibbonPlainText(first)),
                                   metrics.horizontalAdvance(RibbonPlainText(second)));
        if (bestWidth < 0 || width < bestWidth) {
            bestWidth = width;
            best = {first, second};
        }
    }
    return best;
}

QString RibbonToolTip(const QAction& action, bool showShortcut) {
    QString tip = action.toolTip();
    const QKeySequence shortcut = action.shortcut();
    if (showShortcut && !shortcut.isEmpty())
        tip += QStringLiteral(" (%1)").arg(shortcut.toString(QKeySequence::NativeText));
    return tip;
}

QString RibbonTitleText(const QString& documentName, const QString& caption) {
    if (documentName.isEmpty())
        return caption;
    return documentName + QStringLiteral(" - ") + caption;
}

} // namespace ribbon
