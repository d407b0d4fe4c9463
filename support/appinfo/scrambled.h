// Texts kept out of the executable in plain form: scrambled while compiling,
// unscrambled on use.
#pragma once

#include <QString>

#include <cstddef>

namespace tonalyx {

template <std::size_t N> class TScrambled {
  public:
    consteval explicit TScrambled(const char16_t (&plain)[N]) {
        for (std::size_t i = 0; i < N; ++i)
            FData[i] = static_cast<char16_t>(plain[i] ^ Key(i));
    }
    QString Text() const {
        QString s(static_cast<qsizetype>(N - 1), Qt::Uninitialized);
        for (std::size_t i = 0; i + 1 < N; ++i)
            s[static_cast<qsizetype>(i)] = QChar(static_cast<char16_t>(FData[i] ^ Key(i)));
        return s;
    }

  private:
    static constexpr char16_t Key(std::size_t i) {
        return static_cast<char16_t>(0x5A3Cu + 0x2F1Bu * static_cast<unsigned>(i));
    }
    char16_t FData[N]{};
};

} // namespace tonalyx
