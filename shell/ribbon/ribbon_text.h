// Texts of the ribbon: captions with accelerator marks, the line split of large-button
// captions, tool tips and the title.
//
// A caption marks its accelerator with "&" before the character ("&Open Image" uses O);
// "&&" stands for one ampersand and marks nothing.
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

class QAction;
class QFontMetrics;

namespace ribbon {

// The caption as shown: marks removed, "&&" turned into "&".
QString RibbonPlainText(const QString& caption);
// The marked character, upper-cased; a null QChar when the caption marks none.
QChar RibbonMnemonic(const QString& caption);
// text with every "&" doubled, so that it shows as written and marks nothing.
QString RibbonEscapeMarks(const QString& text);

// The caption of a large button on one line or, when it is wider than wrapWidth and has a
// blank inside, on two lines split at the blank that makes the wider line narrowest.
// The lines keep their marks.
QStringList RibbonCaptionLines(const QString& caption, const QFontMetrics& metrics, int wrapWidth);

// The tool tip of a command: its hint (the tool tip of the action), followed by its
// shortcut in brackets when it has one and showShortcut is set.
QString RibbonToolTip(const QAction& action, bool showShortcut);

// The ribbon's title: "document - caption", or the caption alone without a document.
QString RibbonTitleText(const QString& documentName, const QString& caption);

} // namespace ribbon
