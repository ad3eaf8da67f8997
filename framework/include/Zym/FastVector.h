#pragma once

#include <cstddef>
#include <vector>

namespace Zym {

// A growable array of plain values.
template <class T> class FastVector {
public:
    using value_type = T;
    using iterator = typename std::vector<T>::iterator;
    using const_iterator = typename std::vector<T>::const_iterator;

    FastVector() = default;
    explicit FastVector(std::size_t count, const T& value = T()) : m_Items(count, value) {}

    void Reserve(std::size_t count) { m_Items.reserve(count); }
    void Append(const T& value) { m_Items.push_back(value); }
    template <class It> void Insert(std::size_t at, It first, It last) {
        m_Items.insert(m_Items.begin() + static_cast<std::ptrdiff_t>(at), first, last);
    }
    void Resize(std::size_t count, const T& value = T()) { m_Items.resize(count, value); }
    void Clear() noexcept { m_Items.clear(); }

    std::size_t Size() const noexcept { return m_Items.size(); }
    bool Empty() const noexcept { return m_Items.empty(); }
    T& operator[](std::size_t i) { return m_Items[i]; }
    const T& operator[](std::size_t i) const { return m_Items[i]; }
    T* Data() noexcept { return m_Items.data(); }
    const T* Data() const noexcept { return m_Items.data(); }

    iterator begin() noexcept { return m_Items.begin(); }
    iterator end() noexcept { return m_Items.end(); }
    const_iterator begin() const noexcept { return m_Items.begin(); }
    const_iterator end() const noexcept { return m_Items.end(); }

private:
    std::vector<T> m_Items;
};

} // namespace Zym
