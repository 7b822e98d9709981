#pragma once

#include <cstddef>

namespace quorvel {

// Calls f.template operator()<N>() with N = n_variables if it is one of the
// widths listed, else with N = 0, for any width: code whose loops run over a
// row's values is compiled on its own for the widths met most often, where
// those loops unroll.
template <std::size_t kWidth, std::size_t... kMoreWidths, class F>
decltype(auto) with_width(std::size_t n_variables, F&& f) {
    if (n_variables == kWidth) return f.template operator()<kWidth>();
    if constexpr (sizeof...(kMoreWidths) > 0)
        return with_width<kMoreWidths...>(n_variables, f);
    else
        return f.template operator()<0>();
}

}  // namespace quorvel
