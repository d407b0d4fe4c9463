// A timer of a service, named as the window's design names it (tests and the state find it
// by that name), stopped until started.
#pragma once

#include <QTimer>

namespace tonalyx {

inline QTimer* NamedTimer(const char* name, int intervalMs, QObject* owner) {
    auto* t = new QTimer(owner);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(intervalMs);
    return t;
}

} // namespace tonalyx
