// CheckedArray: a fixed-size array whose element access checks the index.
//
// The machine's memories and registers are held in these. Every index the machine
// forms is in range by construction (8-bit addresses into 256 cells, 4-bit register
// numbers into 16), so an index out of range is a programming error: it is reported
// on standard error and the program aborts, rather than reading or writing past the
// array. The type is an aggregate, so `CheckedArray<T, N> a{}` is all zeros.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void checked_array_out_of_range(std::size_t index, std::size_t size) {
    std::fprintf(stderr, "CheckedArray: index %zu out of range (size %zu)\n", index, size);
    std::abort();
}

template <typename T, std::size_t N>
struct CheckedArray {
    T items[N];

    static constexpr std::size_t size() { return N; }

    T& operator[](std::size_t i) {
        if (i >= N) checked_array_out_of_range(i, N);
        return items[i];
    }
    const T& operator[](std::size_t i) const {
        if (i >= N) checked_array_out_of_range(i, N);
        return items[i];
    }

    void fill(const T& value) {
        for (T& item : items) item = value;
    }

    T* begin() { return items; }
    T* end() { return items + N; }
    const T* begin() const { return items; }
    const T* end() const { return items + N; }

    friend bool operator==(const CheckedArray& a, const CheckedArray& b) {
        for (std::size_t i = 0; i < N; ++i)
            if (!(a.items[i] == b.items[i])) return false;
        return true;
    }
    friend bool operator!=(const CheckedArray& a, const CheckedArray& b) { return !(a == b); }
};
