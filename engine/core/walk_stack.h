// The pending entries of a depth-first walk: a fixed array on the walker's stack that moves to
// the heap only when a walk goes deeper than it holds, so walks of ordinary depth allocate
// nothing.
#pragma once

#include <cstddef>
#include <vector>

template <typename T, size_t N> class TvWalkStack {
public:
    void Push(const T& item) {
        if (count_ < N)
            fixed_[count_] = item;
        else
            more_.push_back(item);
        count_++;
    }
    T Pop() {
        count_--;
        if (count_ < N) return fixed_[count_];
        T item = more_.back();
        more_.pop_back();
        return item;
    }
    bool Empty() const { return count_ == 0; }

private:
    T fixed_[N];
    size_t count_ = 0;
    std::vector<T> more_;
};
