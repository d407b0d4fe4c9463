// Whether the running test executable holds a text in plain sight, as UTF-16 or UTF-8:
// the scrambled names must not.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

namespace tonalyx::test {

// Nothing when the executable cannot be read back. Works without an application object:
// the executable is found through the process's own link.
inline std::optional<bool> ExecutableHoldsText(const QString& text) {
    QFile exe(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    if (!exe.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = exe.readAll();
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()),
                           text.size() * qsizetype(sizeof(char16_t)));
    return bytes.contains(utf16) || bytes.contains(text.toUtf8());
}

} // namespace tonalyx::test
