// A file descriptor owned by one object and closed when it goes.
#pragma once

#include <unistd.h>

#include <utility>

namespace tonalyx {

class TUniqueFd {
  public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : FFd(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : FFd(std::exchange(other.FFd, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other)
            Reset(std::exchange(other.FFd, -1));
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() { Reset(); }

    int Get() const { return FFd; }
    bool Valid() const { return FFd >= 0; }
    // Hands the descriptor to a new owner.
    int Release() { return std::exchange(FFd, -1); }
    void Reset(int fd = -1) {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }

  private:
    int FFd = -1;
};

} // namespace tonalyx
