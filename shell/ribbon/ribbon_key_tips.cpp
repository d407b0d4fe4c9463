#include "ribbon_key_tips.h"

#include <QChar>

#include <optional>

namespace ribbon {

namespace {

bool IsTipChar(QChar c) {
    return c.isLetterOrNumber();
}

// The caption as shown and where its marked character sits in it (-1 without a mark).
struct TPlainCaption {
    QString Text;
    qsizetype Mark = -1;
};

TPlainCaption Plain(const QString& caption) {
    TPlainCaption plain;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&') {
            ++i;
            if (i == caption.size())
                break;
            if (caption[i] != u'&' && plain.Mark < 0)
                plain.Mark = plain.Text.size();
        }
        plain.Text += caption[i];
    }
    if (plain.Mark >= 0 && !IsTipChar(plain.Text[plain.Mark]))
        plain.Mark = -1;
    return plain;
}

// Where each word of text starts.
QList<qsizetype> WordStarts(const QString& text) {
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (IsTipChar(text[i]) && (i == 0 || !IsTipChar(text[i - 1])))
            starts << i;
    return starts;
}

QString Upper(QChar c) {
    return QString(c.toUpper());
}

// Characters that may follow the one at lead, best first: the initials of the later words
// (capitals first, they start the words that tell items apart), the later letters, the
// earlier ones, then every letter and digit.
QStringList SecondChoices(const QString& text, qsizetype lead) {
    QStringList capitals;
    QStringList others;
    for (qsizetype start : WordStarts(text))
        if (start > lead)
            (text[start].isUpper() ? capitals : others) << Upper(text[start]);
    QStringList choices = capitals + others;
    for (qsizetype i = lead + 1; i < text.size(); ++i)
        if (IsTipChar(text[i]))
            choices << Upper(text[i]);
    for (qsizetype i = 0; i < lead && i < text.size(); ++i)
        if (IsTipChar(text[i]))
            choices << Upper(text[i]);
    for (char c = 'A'; c <= 'Z'; ++c)
        choices << QString(QChar(c));
    for (char c = '0'; c <= '9'; ++c)
        choices << QString(QChar(c));
    return choices;
}

// Characters an item without a usable mark may start with, best first, and where each
// sits in the caption: its initials, then its other letters.
QList<std::pair<QString, qsizetype>> CaptionLeads(const QString& text) {
    QList<std::pair<QString, qsizetype>> choices;
    for (qsizetype start : WordStarts(text))
        choices.append({Upper(text[start]), start});
    for (qsizetype i = 0; i < text.size(); ++i)
        if (IsTipChar(text[i]))
            choices.append({Upper(text[i]), i});
    return choices;
}

// Any letter, for the first of two characters once the caption's own are used up (-1: it is
// not in the caption).
QList<std::pair<QString, qsizetype>> AnyLeads() {
    QList<std::pair<QString, qsizetype>> choices;
    for (char c = 'A'; c <= 'Z'; ++c)
        choices.append({QString(QChar(c)), -1});
    return choices;
}

// A chosen tip made upper case; nothing when it is not one or two letters or digits.
std::optional<QString> ValidChosen(const QString& chosen) {
    const QString tip = chosen.trimmed().toUpper();
    if (tip.isEmpty() || tip.size() > 2)
        return std::nullopt;
    for (QChar c : tip)
        if (!IsTipChar(c))
            return std::nullopt;
    return tip;
}

class TTipSet {
  public:
    // Whether tip equals a given tip or either begins the other.
    bool Clashes(const QString& tip) const {
        for (const QString& given : FGiven)
            if (given.startsWith(tip) || tip.startsWith(given))
                return true;
        return false;
    }
    bool IsSingle(const QString& c) const { return FGiven.contains(c); }
    void Add(const QString& tip) { FGiven << tip; }

    // lead followed by the first free choice after it; empty when none is free.
    QString TwoCharacters(const QString& lead, const QString& text, qsizetype leadIndex) const {
        if (IsSingle(lead))
            return {};
        for (const QString& second : SecondChoices(text, leadIndex))
            if (!Clashes(lead + second))
                return lead + second;
        return {};
    }

  private:
    QStringList FGiven;
};

} // namespace

QStringList RibbonKeyTips(const QList<TKeyTipRequest>& items) {
    QStringList tips(items.size());
    TTipSet given;
    QList<TPlainCaption> plain;
    for (const TKeyTipRequest& item : items)
        plain << Plain(item.Caption);

    // The owners' choices first.
    for (qsizetype i = 0; i < items.size(); ++i) {
        const std::optional<QString> chosen = ValidChosen(items[i].Chosen);
        if (chosen && !given.Clashes(*chosen)) {
            tips[i] = *chosen;
            given.Add(*chosen);
        }
    }

    // Then the marked characters: alone when one item marks it, else two characters each.
    QStringList marks; // in the order they first appear
    for (qsizetype i = 0; i < items.size(); ++i)
        if (tips[i].isEmpty() && plain[i].Mark >= 0) {
            const QString mark = Upper(plain[i].Text[plain[i].Mark]);
            if (!marks.contains(mark))
                marks << mark;
        }
    for (const QString& mark : marks) {
        QList<qsizetype> sharing;
        for (qsizetype i = 0; i < items.size(); ++i)
            if (tips[i].isEmpty() && plain[i].Mark >= 0 &&
                Upper(plain[i].Text[plain[i].Mark]) == mark)
                sharing << i;
        if (sharing.size() == 1 && !given.Clashes(mark)) {
            tips[sharing.front()] = mark;
            given.Add(mark);
            continue;
        }
        for (qsizetype i : sharing) {
            const QString tip = given.TwoCharacters(mark, plain[i].Text, plain[i].Mark);
            if (!tip.isEmpty()) {
                tips[i] = tip;
                given.Add(tip);
            }
        }
    }

    // Then the rest: a free initial or letter, else two characters.
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (!tips[i].isEmpty())
            continue;
        // A single character only of the caption's own (any letter for a caption without
        // one): a single one takes every two-character tip it begins away from the others.
        QList<std::pair<QString, qsizetype>> singles = CaptionLeads(plain[i].Text);
        if (singles.isEmpty())
            singles = AnyLeads();
        for (const auto& [lead, index] : singles)
            if (!given.Clashes(lead)) {
                tips[i] = lead;
                break;
            }
        const QList<std::pair<QString, qsizetype>> leads = CaptionLeads(plain[i].Text) + AnyLeads();
        for (qsizetype n = 0; tips[i].isEmpty() && n < leads.size(); ++n)
            tips[i] = given.TwoCharacters(leads[n].first, plain[i].Text, leads[n].second);
        if (!tips[i].isEmpty())
            given.Add(tips[i]);
    }
    return tips;
}

} // namespace ribbon
