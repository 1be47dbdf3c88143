// SPDX-License-Identifier: MIT
#include "console/widthtable.h"

#include <algorithm>
#include <iterator>

namespace {

struct swrange {
    uint32_t first, last;
    uint8_t width;
};

struct srange {
    uint32_t first, last;
};

#include "console/widthtable.inc"

} // namespace

const char* const widthtableversion = unicodeversion;

int tablewidth(char32_t c)
{
    auto it = std::upper_bound(std::begin(wranges), std::end(wranges), static_cast<uint32_t>(c),
                               [](uint32_t v, const swrange& r) { return v < r.first; });
    if (it == std::begin(wranges))
        return 1;
    --it;
    return static_cast<uint32_t>(c) <= it->last ? it->width : 1;
}

bool tableword(char32_t c)
{
    auto it = std::upper_bound(std::begin(wordranges), std::end(wordranges), static_cast<uint32_t>(c),
                               [](uint32_t v, const srange& r) { return v < r.first; });
    return it != std::begin(wordranges) && static_cast<uint32_t>(c) <= std::prev(it)->last;
}
