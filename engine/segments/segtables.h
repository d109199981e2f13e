// Tables of the run and node functions (segruns.cpp, segnodes.cpp,
// segtext.cpp), one instantiation for each combination of the values of
// their parameters (an operator, operand kinds, a sense...), and the
// failed check that a lookup outside a table is.
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <utility>

namespace seg {

// A check that no segment the pass builds can fail: an operand kind, or a
// table's index, that nothing was made for. A debug build stops here; a
// release build answers false, and the segment's cells run.
inline bool failedcheck()
{
    assert(!"an operand kind or a table index that nothing was made for");
    return false;
}

// The combinations of several parameters, parameter d taking the values 0
// to N[d] - 1. The index of a combination (`at`) and the value of each
// parameter at an index (`digit`) both come from the one list of sizes, so
// a table and the lookups into it cannot disagree; a value outside its
// range has the index `size`, which no table holds.
template <int... N>
struct grid {
    static constexpr int rank = sizeof...(N);
    static constexpr int sizes[rank] = {N...};
    static constexpr size_t size = (size_t{1} * ... * static_cast<size_t>(N));
    template <class... V>
    static constexpr size_t at(V... v)
    {
        static_assert(sizeof...(V) == rank, "one value for each parameter");
        const long long values[rank] = {static_cast<long long>(v)...};
        size_t r = 0;
        for (int d = 0; d < rank; ++d) {
            if (values[d] < 0 || values[d] >= sizes[d])
                return size;
            r = r * static_cast<size_t>(sizes[d]) + static_cast<size_t>(values[d]);
        }
        return r;
    }
    static constexpr int digit(size_t i, int d)
    {
        for (int k = rank - 1; k > d; --k)
            i /= static_cast<size_t>(sizes[k]);
        return static_cast<int>(i % static_cast<size_t>(sizes[d]));
    }
};

// The functions of a grid's combinations, the one for a combination found
// by the parameters' values; outside the grid, `fails` (which runs the
// cells), after a failed check.
template <class G, class Fn>
struct fntable {
    std::array<Fn, G::size> fns;
    Fn fails;
    template <class... V>
    Fn operator()(V... v) const
    {
        const size_t i = G::at(v...);
        if (i < G::size)
            return fns[i];
        failedcheck();
        return fails;
    }
    bool holds(Fn f) const
    {
        for (Fn x : fns)
            if (x == f)
                return true;
        return false;
    }
};

// The row of `k` in a table's list of the values it is made for, or -1
// (outside every grid).
template <size_t N>
constexpr int rowin(const int (&list)[N], int k)
{
    for (size_t t = 0; t < N; ++t)
        if (list[t] == k)
            return static_cast<int>(t);
    return -1;
}

namespace tables {

template <class G, size_t I, class Make, size_t... D>
constexpr auto entry(const Make& make, std::index_sequence<D...>)
{
    return make.template operator()<G::digit(I, static_cast<int>(D))...>();
}

template <class G, class Fn, class Make, size_t... I>
constexpr fntable<G, Fn> entries(Fn fails, const Make& make, std::index_sequence<I...>)
{
    return {{entry<G, I>(make, std::make_index_sequence<G::rank>{})...}, fails};
}

}  // namespace tables

// The table of grid G: for each combination, what `make` gives with the
// parameters' values as its template arguments,
// make.template operator()<value of parameter 0, value of parameter 1...>().
template <class G, class Fn, class Make>
constexpr fntable<G, Fn> maketable(Fn fails, const Make& make)
{
    return tables::entries<G>(fails, make, std::make_index_sequence<G::size>{});
}

}  // namespace seg
