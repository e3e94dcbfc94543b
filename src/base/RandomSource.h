#pragma once
#include <cstdint>

// Source of random keys: every value 1..2147483647 with equal chance.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual int32_t nextKey() = 0;
};
